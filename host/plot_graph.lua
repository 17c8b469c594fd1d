-- The preview's default script, run on every frame the plug-in asks the host
-- to render: the graph the editor shows, read through the module at 512
-- moments from 0 to 1. The preview plots the numbers it returns.
local grapheditor = require "rivo_grapheditor"

local values = {}
for i = 0, 511 do
    values[#values + 1] = grapheditor.getvalue(preview.graph, i / 511)
end
return values
