#pragma once
// The units of the scheme model, registered in their order.

class TUnitRegistry;

void RegisterSchemeUnits(TUnitRegistry& registry);
