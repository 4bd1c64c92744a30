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
  { if }
  if C then
    X := 1;
end;

procedure Routine2;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { if else }
  if C then
    X := 1
  else
    X := 2;
end;

procedure Routine3;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { if else with blocks }
  if C then
  begin
    X := 1;
    Y := 1;
  end
  else begin
    X := 2;
    Y := 2;
  end;
end;

procedure Routine4;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { empty then part }
  if C then
  begin
  end
  else
    X := 2;
end;

procedure Routine5;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { case with one statement in its else }
  case X of
    1, 2:
      Y := 1;
    3..5:
    begin
      Y := 2;
      C := True;
    end;
    6:
    begin
    end;
  else
    Y := 0;
  end;
end;

procedure Routine6;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { case with two statements in its else }
  case X of
    1:
      Y := 1;
  else
    begin
      Y := 0;
      C := False;
    end;
  end;
end;

procedure Routine7;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { loops and try statements }
  for I := X - 1 downto 0 do
    Y := Y + I;
  while C do
  begin
  end;
  try
    X := 1;
  finally
    X := 2;
  end;
  try
    X := 1;
  except
    on E: EConvertError do
      X := 2;
  else begin
    X := 3;
    raise;
  end;
  end;
  try
    X := 1;
  except
    X := 0;
  end;
end;

procedure Routine8;
var
  C: Boolean;
  D: Boolean;
  X: Integer;
  Y: Integer;
  I: Integer;
begin
  { calls and verbatim lines }
  Exit;
  Inc(X, 2);
  Y := 2; { verbatim }
  Y := X;
end;

end.
