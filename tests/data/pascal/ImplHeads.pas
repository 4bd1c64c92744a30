unit ImplHeads;

interface

type
  TBase = class(TObject)
  public
    procedure Run(X: Integer); overload; virtual; stdcall;
    class function Make: TBase; dynamic;
  end;

  TDerived = class(TBase)
  public
    procedure Run(X: Integer); override; stdcall;
    class function Make: TBase; reintroduce;
    procedure Gone; virtual; abstract;
  end;

implementation

procedure TBase.Run(X: Integer); stdcall;
begin
end;

class function TBase.Make: TBase;
begin
  Result := nil;
end;

procedure TDerived.Run(X: Integer); stdcall;
begin
  inherited;
end;

class function TDerived.Make: TBase;
begin
  Result := nil;
end;

function Twice(X: Integer): Integer; inline; cdecl;
begin
  Result := X * 2;
end;

end.
