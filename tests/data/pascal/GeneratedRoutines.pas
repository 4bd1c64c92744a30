unit Routines;

interface

procedure Reset; safecall;

type
  TNotify = procedure;

implementation

uses
  Math;

function Clamp(AValue: NativeInt; var ALimit: Float; out AClamped: NativeInt; const
   AName: string): NativeInt; cdecl;
begin
  Assert(AValue <> 0);
  AClamped := 0;
  Result := 0;
end;

procedure Reset; safecall;
begin
end;

var
  Visible: Boolean;
  Enabled: Boolean;
  Total: NativeInt;
  Ready: Boolean;
  Small: Boolean;

initialization
  Total := 1 + 2 + 3 + 4;
  Ready := Visible and Enabled and Visible;
  Small := Total <= 10;

end.
