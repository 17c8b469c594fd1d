-- One round of the getvalue benchmark in the interpreter that runs it; the
-- rounds, the other interpreter and the report are scripts/bench-lua.sh's.
--
--   getvalue_bench.lua SO time N        every case once, N calls each:
--                                       prints "case seconds" lines
--   getvalue_bench.lua SO count CASE N  one case, N calls, prints nothing
--                                       (for instruction counts)
--
-- SO is rivo_grapheditor_bench.so: the module plus bench_shape, so that a
-- graph here can have 32 points. Every mode does the same set-up, so runs of
-- different cases differ only in their loop.

local so, mode = ...
assert(so and (mode == "time" or mode == "count"), "usage: getvalue_bench.lua SO time N | count CASE N")

local getvalue = assert(package.loadlib(so, "luaopen_rivo_grapheditor"))().getvalue
local shape = assert(package.loadlib(so, "luaopen_bench_shape"))()

-- Graph 3 is never shaped: as in a process where the plug-in never started,
-- its count is 0 and it reads as the rising diagonal.
local TWO, FULL, EIGHT, UNSHAPED, OUTSIDE = 1, 2, 4, 3, 64

-- 32 points at fixed pseudo-random places (Park-Miller, exact in doubles).
local seed = 12345
local function random(n)
    seed = seed * 16807 % 2147483647
    return seed % n
end
local xs, ys, used = {0}, {random(256)}, {[0] = true, [511] = true}
local interior = {}
while #interior < 30 do
    local x = 1 + random(510)
    if not used[x] then
        used[x] = true
        interior[#interior + 1] = x
    end
end
table.sort(interior)
for _, x in ipairs(interior) do
    xs[#xs + 1] = x
    ys[#ys + 1] = random(256)
end
xs[32], ys[32] = 511, random(256)
local n = #xs

local flat = {}
for i = 1, n do
    flat[2 * i - 1], flat[2 * i] = xs[i], ys[i]
end
assert(shape(FULL, unpack(flat)) == 32)
assert(shape(TWO, 0, 255, 511, 0) == 2)
assert(shape(EIGHT, 0, 200, 40, 10, 100, 250, 170, 90, 260, 180, 330, 0, 420, 255, 511, 30) == 8)

-- What a script author would write instead of getvalue, each giving exactly
-- getvalue's results for t in 0..1. Lua 5.1 has no integer type: x - x % 1
-- truncates a non-negative x without a function call.
local first, last = (255 - ys[1]) / 255, (255 - ys[n]) / 255

local function interpolate(i, p)
    local x0, y0 = xs[i], ys[i]
    local num = (y0 - ys[i + 1]) * (p - x0)
    local q = num / (xs[i + 1] - x0)
    if q >= 0 then
        q = q - q % 1
    else
        q = -(-q - -q % 1)
    end
    return (255 - y0 + q) / 255
end

local function scan(_, t)
    local p = t * 511
    if p < 0 then return first elseif p >= 512 then return last end
    p = p - p % 1
    local i = 1
    while i < n - 1 and p >= xs[i + 1] do
        i = i + 1
    end
    return interpolate(i, p)
end

local function bisect(_, t)
    local p = t * 511
    if p < 0 then return first elseif p >= 512 then return last end
    p = p - p % 1
    local lo, hi = 1, n
    while hi - lo > 1 do
        local mid = (lo + hi) / 2
        mid = mid - mid % 1
        if p >= xs[mid] then lo = mid else hi = mid end
    end
    return interpolate(lo, p)
end

local lut = {}
for p = 0, 511 do
    lut[p + 1] = scan(nil, (p + 0.5) / 511)
end
local function lookup(_, t)
    local p = t * 511
    if p < 0 then return first elseif p >= 512 then return last end
    return lut[p - p % 1 + 1]
end

-- The argument walks over 0..1 so that every segment is hit; the empty loop
-- walks the same way, and its cost is what the report subtracts.
local STEP = 0.6180339887498949
local BODY = [[
local calls, f, index = ...
local s, t = 0, 0
for _ = 1, calls do
    t = t + %s
    if t >= 1 then t = t - 1 end
    s = s + %s
end
return s
]]
local function loop(call)
    return assert(loadstring(string.format(BODY, STEP, call)))
end

local cases = {
    {"empty", loop("t")},
    {"getvalue_2", loop("f(index, t)"), getvalue, TWO},
    {"getvalue_8", loop("f(index, t)"), getvalue, EIGHT},
    {"getvalue_32", loop("f(index, t)"), getvalue, FULL},
    {"getvalue_unshaped", loop("f(index, t)"), getvalue, UNSHAPED},
    {"floor", loop("f(index, t)"), getvalue, OUTSIDE},
    {"lua_scan", loop("f(index, t)"), scan, FULL},
    {"lua_bisect", loop("f(index, t)"), bisect, FULL},
    {"lua_table", loop("f(index, t)"), lookup, FULL},
}

-- The same curve, or the comparison means nothing.
local t = 0
for k = 0, 4096 + 2000 do
    if k <= 4096 then
        t = k / 4096
    else
        t = t + STEP
        if t >= 1 then t = t - 1 end
    end
    local want = getvalue(FULL, t)
    for _, f in ipairs({scan, bisect, lookup}) do
        assert(f(FULL, t) == want, "pure Lua differs from getvalue at t = " .. t)
    end
    local diagonal = math.floor(math.floor(511 * t) * 255 / 511) / 255
    assert(getvalue(TWO, t) == diagonal)
    assert(getvalue(UNSHAPED, t) == diagonal)
    assert(getvalue(OUTSIDE, t) == t)
end

if mode == "time" then
    local calls = assert(tonumber(select(3, ...)))
    for _, c in ipairs(cases) do
        local start = os.clock()
        c[2](calls, c[3], c[4])
        print(c[1], os.clock() - start)
    end
else
    local name, calls = select(3, ...), assert(tonumber(select(4, ...)))
    for _, c in ipairs(cases) do
        if c[1] == name then
            c[2](calls, c[3], c[4])
            return
        end
    end
    error("no case " .. tostring(name))
end
