#pragma once
// The units of the rich-text engine, registered in their order.

class TUnitRegistry;

void RegisterTextUnits(TUnitRegistry& registry);
