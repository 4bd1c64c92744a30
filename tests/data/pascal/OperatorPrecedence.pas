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
  A: Integer;
  B: Integer;
  E: Integer;
  F: Integer;
  P: Boolean;
  Q: Boolean;
  S: set of Byte;
  O: TObject;
begin
  { operator precedence }
  P := (A = B) and (E < F);
  X := (A + B) * E;
  P := A + B = E;
  P := not (A = B);
  X := A - (B + E);
  X := A - B - E;
  X := A - B - E;
  X := A div (B * E);
  X := A * B + E * F;
  X := A * (B - E);
  P := not (A in S);
  P := not (O is TObject);
  P := (A in S) = Q;
  P := (not P) and Q;
  P := (P and Q) or P;
  P := (A + B > E) and Q;
  P := not (not P);
  X := A + (B + E);
end;

end.
