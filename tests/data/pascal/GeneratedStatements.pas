unit Statements;

interface

procedure Restock(AAmount: NativeInt);
procedure Report(ACount: NativeInt; const AText: string);
function Count: NativeInt;

implementation

uses
  SysUtils;

var
  Stock: NativeInt;
  Limit: NativeInt;
  &Label: string;
  Busy: Boolean;

procedure Restock(AAmount: NativeInt);
begin
  Assert(Busy);
  Stock := AAmount;
  if Busy then
    Report(Stock, &Label)
  else
    raise Exception.Create('Error');
end;

procedure Report(ACount: NativeInt; const AText: string);
begin
end;

function Count: NativeInt;
var
  I: NativeInt;
  J: NativeInt;
  Item: Char;
  SavedValue: Boolean;
begin
  Result := 0;
  Restock(Limit);
  while Busy do
  begin
    Inc(Stock);
    Continue;
    Break;
  end;
  for I := Stock - 1 downto 0 do
  begin
    Limit := I;
    Dec(Stock);
  end;
  for J := 1 to Length(&Label) do
  begin
    Item := &Label[J];
    if Item = Chr(J) then
    begin
    end;
  end;
  SavedValue := Busy;
  Busy := False;
  try
    Report(0, &Label);
  finally
    Busy := SavedValue;
  end;
  if Limit <> Stock then
  begin
    Limit := Stock;
    Inc(Limit);
  end;
  try
    Report(Stock, &Label);
  finally
    Dec(Limit);
  end;
  Result := Stock;
end;

end.
