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
  { inner if without else }
  if C then
  begin
    if D then
      X := 1;
  end
  else
    X := 3;
end;

procedure Routine2;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { inner if with else }
  if C then
  begin
    if D then
      X := 1
    else
      X := 2;
  end
  else
    X := 3;
end;

procedure Routine3;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { while }
  if C then
  begin
    while D do
      D := False;
  end
  else
    X := 3;
end;

procedure Routine4;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { for }
  if C then
  begin
    for I := 1 to 3 do
      X := I;
  end
  else
    X := 3;
end;

procedure Routine5;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { verbatim text may carry its own ; }
  if C then
  begin
    X := 1;
  end
  else
    X := 3;
end;

procedure Routine6;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { a loop with a begin/end body ends with its own end }
  if C then
    while D do
    begin
      D := False;
      X := 1;
    end
  else
    X := 3;
end;

procedure Routine7;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { a lone conditional block }
  if C then
  begin
    {$IFDEF DEBUG}X := 1;
    {$ENDIF}
  end
  else
    X := 3;
end;

end.
