# LuaJIT's lua51.dll for the Windows tests: many script engines bring LuaJIT
# along under that name, so the Lua checks run against it too. Built by
# LuaJIT's own Makefile with the cross compiler, from Debian's luajit sources
# (scripts/fetch-lua-source.sh luajit), in a copy inside the build tree since
# the Makefile builds in place. Stripped; never shipped.
set(RIVO_LUAJIT_SOURCE_DIR "" CACHE PATH "LuaJIT source folder for the LuaJIT lua51.dll test fixture")

if(RIVO_LUAJIT_SOURCE_DIR)
    find_program(RIVO_MAKE make REQUIRED)
    set(luajit_copy ${CMAKE_BINARY_DIR}/luajit-build)
    set(luajit_dll ${CMAKE_BINARY_DIR}/fixtures/luajit/lua51.dll)
    # The build runs helper programs of the target's word size: 32-bit ones
    # for i686 (through qemu-i386, see scripts/setup-wine32.sh). Without
    # -static-libgcc the i686 DLL needs libgcc_s_dw2-1.dll and fails to load.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(luajit_host_cc "gcc -m32")
    else()
        set(luajit_host_cc gcc)
    endif()
    add_custom_command(OUTPUT ${luajit_dll}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${luajit_copy}
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${RIVO_LUAJIT_SOURCE_DIR} ${luajit_copy}
        COMMAND ${RIVO_MAKE} -C ${luajit_copy} -j2 --no-print-directory "HOST_CC=${luajit_host_cc}"
                CROSS=${RIVO_MINGW_ARCH}-w64-mingw32- TARGET_SYS=Windows TARGET_SHLDFLAGS=-static-libgcc
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/fixtures/luajit
        # Debian's packaging adds -g: 3.8 MB with it, 0.5 MB without.
        COMMAND ${CMAKE_STRIP} -o ${luajit_dll} ${luajit_copy}/src/lua51.dll
        DEPENDS ${RIVO_LUAJIT_SOURCE_DIR}/src/Makefile
        COMMENT "Building LuaJIT's lua51.dll (test fixture)"
        VERBATIM)
    add_custom_target(luajit_lua51 ALL DEPENDS ${luajit_dll})
endif()
