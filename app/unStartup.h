#pragma once
// The order in which the program initialises the units of every layer.

class TUnitRegistry;

void RegisterAllUnits(TUnitRegistry& units);
