unit FieldOrder;

interface

type
  TFields = class(TObject)
  public
  const
    Step = 2;
  var
    FAfterConst: Integer;
    procedure Run;
  var
    FAfterMethod: Integer;
    property AfterConst: Integer read FAfterConst;
  var
    FAfterProperty: Integer;
  end;

implementation

procedure TFields.Run;
begin
end;

end.
