#pragma once
// The units of the editor windows, registered in their order.

class TUnitRegistry;

void RegisterUiUnits(TUnitRegistry& registry);
