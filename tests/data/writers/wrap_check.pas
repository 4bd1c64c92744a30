{$codepage utf8}
program WrapCheck;

(* Every line of this program was broken by the writer } and still compiles. *)

const
  Names: array[0..11] of string = ('Alpha', 'Beta', 'Gamma', 'Delta', 'Epsilon',
     'Zeta', 'Eta', 'Theta', 'Iota', 'Kappa', 'Lambda', 'My');
  Ratio = 1.5E-10;

var
  Vaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa, Waaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa,
     B, C, D: Integer;
  X: Double;
  S: UnicodeString;

function Combine(const FirstValue, SecondValue: Integer; var ThirdValue: Integer;
   out FourthValue: Integer): Integer;
begin
  // The result is the sum of the first three values, and the fourth value is the
  //  first value again.
  // A second line of the comment.
  FourthValue := FirstValue;
  Result := FirstValue + SecondValue + ThirdValue + FirstValue - FirstValue + SecondValue -
     SecondValue;
end;

begin
  Vaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa := 1;
     Waaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa := 2; B :=
     3; C := 4;
  if Vaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa <>
     B then
    WriteLn('<>');
  if Vaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa <=
     B then
    WriteLn('<=');
  if Vaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa >=
     B then
    WriteLn('>=');
  X := Waaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa * 1.5E-10;
  D := Combine(Vaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa, 
    Waaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa, B, C);
  { both ) and *) in one comment }
  S := 'A ''quoted'' text with a TAB'#9'here, a no-break space and a line break'#13#10'that is ' +
    'long enough to be cut into pieces, twice over, because it goes on and on.😀';
  WriteLn(Length(S), ' ', D, ' ', Names[11], ' ', X > 0);
end.

