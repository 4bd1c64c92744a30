unit Statements;

interface

implementation

uses
  SysUtils;

var
  Global: Integer;

procedure Routine1(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { Y = I from (not (<> Y I)) }
  Flag := Y = I;
end;

procedure Routine2(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { Y <> I from (not (= Y I)) }
  Flag := Y <> I;
end;

procedure Routine3(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { Y <= I from (not (> Y I)) }
  Flag := Y <= I;
end;

procedure Routine4(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { Y < I from (not (>= Y I)) }
  Flag := Y < I;
end;

procedure Routine5(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { Y >= I from (not (< Y I)) }
  Flag := Y >= I;
end;

procedure Routine6(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { Y > I from (not (<= Y I)) }
  Flag := Y > I;
end;

procedure Routine7(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { not C from (not (not (not C))) }
  Flag := not C;
end;

procedure Routine8(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { C from (not (not C)) }
  Flag := C;
end;

procedure Routine9(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { C from (= C True) }
  Flag := C;
end;

procedure Routine10(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { not C from (= C False) }
  Flag := not C;
end;

procedure Routine11(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { not (Y = I) from (= (= Y I) False) }
  Flag := not (Y = I);
end;

procedure Routine12(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { not C from (<> C True) }
  Flag := not C;
end;

procedure Routine13(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { C from (<> C False) }
  Flag := C;
end;

procedure Routine14(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { C from (and C True) }
  Flag := C;
end;

procedure Routine15(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { False from (and C False) }
  Flag := False;
end;

procedure Routine16(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { C from (or C False) }
  Flag := C;
end;

procedure Routine17(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { True from (or C True) }
  Flag := True;
end;

procedure Routine18(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { Odd(Y) and False from (and (call Odd Y) False) }
  Flag := Odd(Y) and False;
end;

procedure Routine19(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { Odd(Y) or True from (or (call Odd Y) True) }
  Flag := Odd(Y) or True;
end;

procedure Routine20(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { True = C from (= True C) }
  Flag := True = C;
end;

procedure Routine21(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { False from (not True) }
  Flag := False;
end;

procedure Routine22(var Flag: Boolean);
var
  C, D: Boolean;
  X, Y, I: Integer;
begin
  { True from (not False) }
  Flag := True;
end;

end.
