unit Statements;

interface

implementation

uses
  SysUtils;

var
  Global: Integer;

procedure Routine1;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { comment and verbatim line }
  while C do
  begin
    { nothing yet }
  end;
  if D then
  begin
    // note
  end;
  X := 1;
end;

end.
