unit OnlyFinal;

interface

implementation

initialization

finalization
  Writeln;

end.
