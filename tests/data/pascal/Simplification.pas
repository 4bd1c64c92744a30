unit Statements;

interface

implementation

uses
  SysUtils;

var
  Global: Integer;

procedure Routine1;
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { literal conditions decide branches }
  X := 1;
  Y := 2;
  Y := 3;
  while True do
    Break;
end;

procedure Routine2;
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { an overwritten local }
  X := 2;
end;

procedure Routine3;
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { a local read before it is overwritten }
  X := 1;
  Writeln(X);
  X := 2;
end;

procedure Routine4;
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { both branches and every case branch overwrite }
  if C then
    X := 1
  else
    X := 2;
  case Y of
    1:
      X := 3;
  else
    X := 4;
  end;
  Writeln(X);
end;

end.
