unit PropOrder;

interface

uses
  Classes;

type
  TOrdered = class(TPersistent)
  private
    function GetP(Index: Integer): Integer;
    procedure SetP(Index, Value: Integer);
  published
    property L: Integer index 1 read GetP write SetP stored True default 0;
    property Top: Integer index 2 read GetP nodefault;
  end;

implementation

function TOrdered.GetP(Index: Integer): Integer;
begin
  Result := Index;
end;

procedure TOrdered.SetP(Index, Value: Integer);
begin
end;

end.
