unit ManyUses;

interface

uses
  UnitNumber01, UnitNumber02, UnitNumber03, UnitNumber04, UnitNumber05, UnitNumber06,
    UnitNumber07, UnitNumber08, UnitNumber09, UnitNumber10, UnitNumber11, UnitNumber12;

implementation

end.
