-- The module as scripts see it: loading into rivo.grapheditor and getvalue's
-- values, in whichever interpreter runs this file.
--
--   lua5.1 getvalue_test.lua DIR     DIR holds rivo_grapheditor.so
--   luajit getvalue_test.lua DIR
--
-- A program that embeds Lua may run it without DIR after putting the entry in
-- package.preload; the package.loadlib cases are then left out.
-- Every graph must be as in a process where the plug-in never started (count
-- 0): each then evaluates as the rising diagonal.
-- Any failure ends the run with an error that lists every failing case.

local dir = ...
local MODULE = "rivo_grapheditor"
local ENTRY = "luaopen_rivo_grapheditor"

if dir then
    package.cpath = dir .. "/?.so"
end
package.path = ""

local failures = {}

local function fail(message)
    error(message, 0)
end

local function check(condition, message)
    if not condition then
        fail(message)
    end
end

local function show(v)
    if type(v) == "number" then
        return string.format("%.17g", v)
    end
    return tostring(v)
end

local function same(a, b)
    return a == b or (a ~= a and b ~= b)
end

local function keys(t)
    local list = {}
    for k in pairs(t) do
        list[#list + 1] = tostring(k)
    end
    table.sort(list)
    return table.concat(list, ",")
end

-- Each case starts from a process-like state: no rivo, module not loaded,
-- no metatable on the globals.
local function run(name, body)
    setmetatable(_G, nil)
    rivo = nil
    package.loaded[MODULE] = nil
    local ok, err = pcall(body)
    setmetatable(_G, nil)
    if not ok then
        failures[#failures + 1] = name .. ": " .. tostring(err)
    end
end

local function load()
    package.loaded[MODULE] = nil
    return require(MODULE)
end

local function expectModule(ge, where)
    check(type(ge) == "table", where .. ": module value is " .. type(ge))
    check(type(rawget(ge, "getvalue")) == "function", where .. ": no getvalue in " .. keys(ge))
end

-- --- loading ---------------------------------------------------------

run("a first load creates rivo.grapheditor holding only getvalue", function()
    local ge = load()
    check(type(rawget(_G, "rivo")) == "table", "no global rivo")
    check(rivo.grapheditor == ge, "require's value is not rivo.grapheditor")
    check(package.loaded[MODULE] == ge, "package.loaded holds another value")
    check(keys(rivo) == "grapheditor", "rivo holds " .. keys(rivo))
    check(keys(ge) == "getvalue", "grapheditor holds " .. keys(ge))
end)

run("a second load reuses both tables and registers getvalue again", function()
    local ge = load()
    local r = rivo
    r.mine = 1
    ge.mine = 2
    ge.getvalue = "overwritten"
    local again = load()
    check(rivo == r, "rivo replaced")
    check(again == ge, "grapheditor replaced")
    check(r.mine == 1 and ge.mine == 2, "other fields lost")
    expectModule(again, "second load")
end)

run("other fields of an existing rivo are kept", function()
    local other = {}
    local r = {name = "another module", other = other}
    rivo = r
    local ge = load()
    check(rivo == r, "rivo replaced")
    check(r.name == "another module" and r.other == other, "fields lost: " .. keys(r))
    check(r.grapheditor == ge, "grapheditor not stored in the existing rivo")
end)

local nonTables = {
    {"number", 5}, {"string", "rivo"}, {"false", false}, {"true", true},
    {"function", print}, {"userdata with a metatable", io.stdout},
    {"coroutine", coroutine.create(function() end)},
}

for _, c in ipairs(nonTables) do
    run("a non-table rivo (" .. c[1] .. ") is replaced", function()
        rivo = c[2]
        local ge = load()
        check(type(rawget(_G, "rivo")) == "table", "rivo is still " .. type(rivo))
        check(rivo.grapheditor == ge, "require's value is not rivo.grapheditor")
        expectModule(ge, c[1])
    end)

    run("a non-table rivo.grapheditor (" .. c[1] .. ") is replaced", function()
        local r = {grapheditor = c[2], keep = 1}
        rivo = r
        local ge = load()
        check(rivo == r and r.keep == 1, "rivo replaced or changed")
        check(type(rawget(r, "grapheditor")) == "table", "grapheditor is " .. type(r.grapheditor))
        check(r.grapheditor == ge, "require's value is not rivo.grapheditor")
        expectModule(ge, c[1])
    end)
end

-- All four table accesses, and the registration, go through metamethods.
run("rivo found through the globals' __index", function()
    local r = {keep = 1}
    setmetatable(_G, {__index = function(_, k)
        if k == "rivo" then return r end
    end})
    local ge = load()
    check(rawget(_G, "rivo") == nil, "rivo stored raw in the globals")
    check(r.grapheditor == ge and r.keep == 1, "the table from __index was not used")
end)

run("rivo stored through the globals' __newindex", function()
    local stored = {}
    setmetatable(_G, {__newindex = function(t, k, v)
        stored[k] = v
    end})
    local ge = load()
    setmetatable(_G, nil)
    check(rawget(_G, "rivo") == nil, "rivo stored raw in the globals")
    check(type(stored.rivo) == "table", "__newindex saw no rivo")
    check(stored.rivo.grapheditor == ge, "grapheditor not in the stored rivo")
end)

run("a non-table from the globals' __index is replaced", function()
    setmetatable(_G, {__index = function() return 42 end})
    local ge = load()
    check(type(rawget(_G, "rivo")) == "table", "no new rivo")
    check(rawget(_G, "rivo").grapheditor == ge, "grapheditor not in the new rivo")
end)

run("grapheditor found through rivo's __index", function()
    local ge = {keep = 1}
    rivo = setmetatable({}, {__index = {grapheditor = ge}})
    local got = load()
    check(got == ge, "the table from __index was not used")
    check(rawget(rivo, "grapheditor") == nil, "grapheditor stored raw in rivo")
    check(ge.keep == 1, "other fields lost")
    expectModule(ge, "__index")
end)

run("grapheditor stored through rivo's __newindex", function()
    local stored = {}
    rivo = setmetatable({}, {__newindex = function(t, k, v) stored[k] = v end})
    local ge = load()
    check(rawget(rivo, "grapheditor") == nil, "grapheditor stored raw in rivo")
    check(stored.grapheditor == ge, "__newindex saw another value")
    expectModule(ge, "__newindex")
end)

run("getvalue stored through grapheditor's __newindex", function()
    local stored = {}
    local ge = setmetatable({}, {__newindex = function(t, k, v) stored[k] = v end})
    rivo = {grapheditor = ge}
    check(load() == ge, "grapheditor replaced")
    check(rawget(ge, "getvalue") == nil, "getvalue stored raw")
    check(type(stored.getvalue) == "function", "__newindex saw " .. keys(stored))
end)

if dir then
    run("package.loadlib gives the entry, which returns grapheditor whatever it is passed", function()
        local open, err = package.loadlib(dir .. "/" .. MODULE .. ".so", ENTRY)
        check(open, "loadlib: " .. tostring(err))
        local ge = open()
        check(rivo.grapheditor == ge, "the entry's value is not rivo.grapheditor")
        expectModule(ge, "loadlib")
        check(open("x", {}, 5) == ge, "with arguments on the stack the entry returned something else")
        check(ge.getvalue(0, 1) == 1, "getvalue through loadlib")
    end)
end

-- --- values ----------------------------------------------------------

local nan = 0 / 0
local inf = math.huge
local diagonalAtHalf = 127 / 255
local diagonalAt03 = 76 / 255  -- position 153 on the diagonal: 153 * 255 / 511 = 76.35

-- {arguments..., n = count, want = result}
local values = {
    -- the documented values on the diagonal
    {0, 1.0, n = 2, want = 1},
    {0, 0, n = 2, want = 0},
    {0, 0.5, n = 2, want = diagonalAtHalf},
    {0, 0.0019, n = 2, want = 0},   -- position 0.97 truncates to 0
    {0, -0.5, n = 2, want = 0},     -- before the first point
    {0, 2, n = 2, want = 1},        -- past the last point
    {63, 0.5, n = 2, want = diagonalAtHalf},
    {0, 0.3, n = 2, want = diagonalAt03},
    -- an index outside 0..63 gives t back, as a number
    {64, 0.3, n = 2, want = 0.3},
    {-1, 0.3, n = 2, want = 0.3},
    {64, "0.25", n = 2, want = 0.25},
    {64, nan, n = 2, want = nan},
    {-1, -inf, n = 2, want = -inf},
    {100, 1e300, n = 2, want = 1e300},
    -- missing and non-numeric arguments read as 0
    {n = 0, want = 0},
    {nil, 0.5, n = 2, want = diagonalAtHalf},
    {64, n = 1, want = 0},
    {0, n = 1, want = 0},
    {"abc", 0.3, n = 2, want = diagonalAt03},
    {{}, 0.3, n = 2, want = diagonalAt03},
    {true, 0.3, n = 2, want = diagonalAt03},
    {print, 0.3, n = 2, want = diagonalAt03},
    {0, "abc", n = 2, want = 0},
    {0, {}, n = 2, want = 0},
    {0, false, n = 2, want = 0},
    {64, {}, n = 2, want = 0},
    {64, "abc", n = 2, want = 0},
    -- numeric strings convert
    {"64", 0.3, n = 2, want = 0.3},
    {" 5 ", 0.3, n = 2, want = diagonalAt03},
    {0, "0.5", n = 2, want = diagonalAtHalf},
    {0, " 1 ", n = 2, want = 1},
    -- the index truncates toward zero
    {63.9, 0.3, n = 2, want = diagonalAt03},
    {-0.9, 0.3, n = 2, want = diagonalAt03},
    {64.5, 0.3, n = 2, want = 0.3},
    -- hostile t: NaN at position 0, the rest saturating
    {0, nan, n = 2, want = 0},
    {0, inf, n = 2, want = 1},
    {0, -inf, n = 2, want = 0},
    {0, 1e300, n = 2, want = 1},
    {0, -1e300, n = 2, want = 0},
    {0, 2 ^ 31 / 511, n = 2, want = 1},
    {0, -2 ^ 31 / 511, n = 2, want = 0},
    {0, 5e-324, n = 2, want = 0},
    {0, -0.0, n = 2, want = 0},
    -- hostile indices: compared before any narrowing, so nothing wraps
    -- into 0..63 (these convert to the most negative integer or stay wide).
    -- That holds where lua_Integer is 64 bits, as in every build that runs
    -- this file; the Windows suite checks the 32-bit file's narrowing.
    {2 ^ 32 + 5, 0.3, n = 2, want = 0.3},
    {2 ^ 32, 0.3, n = 2, want = 0.3},
    {-2 ^ 32 + 5, 0.3, n = 2, want = 0.3},
    {2 ^ 31, 0.3, n = 2, want = 0.3},
    {-2 ^ 31, 0.3, n = 2, want = 0.3},
    {2 ^ 53, 0.3, n = 2, want = 0.3},
    {2 ^ 63, 0.3, n = 2, want = 0.3},
    {1e300, 0.3, n = 2, want = 0.3},
    {-1e300, 0.3, n = 2, want = 0.3},
    {inf, 0.3, n = 2, want = 0.3},
    {-inf, 0.3, n = 2, want = 0.3},
    {nan, 0.3, n = 2, want = 0.3},
    {nan, nan, n = 2, want = nan},
}

local function describe(c)
    local parts = {}
    for i = 1, c.n do
        parts[i] = type(c[i]) == "string" and string.format("%q", c[i]) or show(c[i])
    end
    return "getvalue(" .. table.concat(parts, ", ") .. ")"
end

run("getvalue on the diagonal and on hostile arguments", function()
    local getvalue = load().getvalue
    local wrong = {}
    for _, c in ipairs(values) do
        local results = {getvalue(unpack(c, 1, c.n))}
        local got = results[1]
        if #results ~= 1 or type(got) ~= "number" or not same(got, c.want) then
            wrong[#wrong + 1] = describe(c) .. " gave " .. show(got) .. " (" .. #results
                .. " results), want " .. show(c.want)
        end
    end
    check(#wrong == 0, "\n  " .. table.concat(wrong, "\n  "))
end)

run("every graph that was never shaped is the diagonal over the whole range", function()
    local getvalue = load().getvalue
    for index = 0, 63 do
        for k = 0, 1000 do
            local t = k / 1000
            local want = math.floor(math.floor(511 * t) * 255 / 511) / 255
            local got = getvalue(index, t)
            if got ~= want then
                fail(describe({index, t, n = 2}) .. " gave " .. show(got) .. ", want " .. show(want))
            end
        end
    end
end)

run("rivo.grapheditor.getvalue and the loader's value are one function", function()
    local ge = load()
    check(rivo.grapheditor.getvalue == ge.getvalue, "two functions")
    check(rivo.grapheditor.getvalue(0, 0.5) == diagonalAtHalf, "wrong value through rivo")
end)

if #failures > 0 then
    error(#failures .. " failing:\n" .. table.concat(failures, "\n"), 0)
end
print("getvalue_test: all cases pass in " .. (jit and jit.version or _VERSION))
