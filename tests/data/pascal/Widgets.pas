unit Widgets;

interface

type
  TWidgetClickEvent = procedure(Sender: TObject; X: Integer) of object;

  TWidget = class(TObject)
  strict private
    FSecret: Integer;
  private
    FOnClick: TWidgetClickEvent;
    FCount: Integer;
    function GetItem(Index: Integer): string;
  strict protected
    procedure Hidden;
  protected
    procedure DoClick(X: Integer); virtual;
  public
  const
    Max = 10;
  var
    Extra: Integer;
    constructor Create; virtual;
    property Count: Integer read FCount write FCount default 0;
    property Items[Index: Integer]: string read GetItem; default;
  published
    property OnClick: TWidgetClickEvent read FOnClick write FOnClick; { fired }
  end;

implementation

{ TWidget }

function TWidget.GetItem(Index: Integer): string;
begin
  Result := '';
end;

procedure TWidget.DoClick(X: Integer);
begin
  if Assigned(FOnClick) then
    FOnClick(Self, X);
end;

procedure TWidget.Hidden;
begin
end;

constructor TWidget.Create;
begin
  inherited;
end;

end.
