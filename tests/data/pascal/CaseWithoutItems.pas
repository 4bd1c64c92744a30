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
  { one else statement }
  Y := 0;
end;

procedure Routine2;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { two else statements }
  begin
    Y := 0;
    Y := 1;
  end;
end;

procedure Routine3;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { empty, before else }
  if C then
    begin
    end
  else
    Y := 2;
end;

procedure Routine4;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { one statement, before else }
  if C then
    Y := 1
  else
    Y := 2;
end;

procedure Routine5;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { the case stands for its lone else statement, also for begin/end }
  if C then
  begin
    if D then
      Y := 1;
  end
  else
    Y := 2;
end;

end.
