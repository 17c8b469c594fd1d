-- Graph 1 of the editor read at five moments of an effect, from its start
-- (t = 0) to its end (t = 1).
local grapheditor = require "rivo_grapheditor"  -- also sets rivo.grapheditor

local values = {}
for i = 0, 4 do
    local t = i / 4
    values[#values + 1] = grapheditor.getvalue(0, t)
end
return values
