unit UsesCase;

interface

uses
  sysutils;

implementation

uses
  Math;

initialization

finalization
  Writeln;

end.
