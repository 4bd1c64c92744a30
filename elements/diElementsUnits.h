#pragma once
// The units of the element library, registered in their order.

class TUnitRegistry;

void RegisterElementsUnits(TUnitRegistry& registry);
