#pragma once
// The units of the Pascal elements, registered in their order.

class TUnitRegistry;

void RegisterPascalElementsUnits(TUnitRegistry& registry);
