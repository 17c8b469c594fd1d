-- Reads graph 1 at every column's own t = k/511 and counts the columns whose
-- value is not the one at the column Lua's own arithmetic finds for t.
-- Run by the preview's test on both builds; the answer must be 0.
local g = require "rivo_grapheditor"
local bad = 0
for k = 0, 511 do
    local t = k / 511
    if math.floor(g.getvalue(0, t) * 255 + 0.5) ~= math.floor(math.floor(t * 511) * 255 / 511) then
        bad = bad + 1
    end
end
return "columns read wrong: " .. bad
