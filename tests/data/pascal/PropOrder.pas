unit PropOrder;

interface

uses
  Classes;

type
  TOrdered = class(TPersistent)
  strict private
    FSecret: Integer;
  private
    FOnChange: TNotifyEvent;
    function GetP(Index: Integer): Integer;
    procedure SetP(Index, Value: Integer);
  strict protected
    procedure Concealed;
  public
    property Items[Index: Integer]: Integer read GetP; default;
  published
    property L: Integer index 1 read GetP write SetP stored True default 0;
    property Top: Integer index 2 read GetP nodefault;
    property OnChange: TNotifyEvent read FOnChange write FOnChange; { fired }
  end;

implementation

{ TOrdered }

function TOrdered.GetP(Index: Integer): Integer;
begin
  Result := Index;
end;

procedure TOrdered.SetP(Index, Value: Integer);
begin
end;

procedure TOrdered.Concealed;
begin
end;

end.
