unit ClassProps;

interface

type
  TCounter = class(TObject)
  private
    class function GetTotal: Integer; static;
    class procedure SetTotal(Value: Integer); static;
  public
    class property Total: Integer read GetTotal write SetTotal;
  end;

implementation

var
  Store: Integer;

class function TCounter.GetTotal: Integer;
begin
  Result := Store;
end;

class procedure TCounter.SetTotal(Value: Integer);
begin
  Store := Value;
end;

end.
