# lua51.dll for the Windows tests, built by the cross compiler from Debian's
# Lua 5.1 sources (scripts/fetch-lua-source.sh unpacks them). It stands in
# for the Lua runtime a script engine brings along; it is not shipped.
set(RIVO_LUA51_SOURCE_DIR "" CACHE PATH "Lua 5.1 src/ folder for the lua51.dll test fixture")

if(RIVO_LUA51_SOURCE_DIR)
    file(GLOB lua51_sources ${RIVO_LUA51_SOURCE_DIR}/*.c)
    list(FILTER lua51_sources EXCLUDE REGEX "/(lua|luac|print)\\.c$")
    add_library(lua51 SHARED ${lua51_sources})
    set_target_properties(lua51 PROPERTIES PREFIX "" OUTPUT_NAME lua51
        # Kept out of the test programs' folder, so that nothing finds it
        # there unless a test asks for it by path.
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fixtures)
    target_compile_definitions(lua51 PRIVATE LUA_BUILD_AS_DLL)
    target_compile_options(lua51 PRIVATE -O2 -w)
endif()
