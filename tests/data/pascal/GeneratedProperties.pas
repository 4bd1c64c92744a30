unit Properties;

interface

type
  TPlaylist = class;

  TTrack = class(TObject)
  public
    constructor Create; virtual;
    procedure Play;
    procedure Attach(AList: TPlaylist);
  end;

  TPlaylist = class(TObject)
  private
    FChanges: NativeInt;
    FTitle: string;
    FUpdateCount: NativeInt;
    FVolume: NativeInt;
    FCurrent: TTrack;
    procedure SetVolume(AValue: NativeInt);
    function GetCaption(AShort: Boolean): string;
    procedure SetCaption(AShort: Boolean; const AValue: string);
    function GetCount: NativeInt;
    procedure SetCount(AValue: NativeInt);
    function GetMarks(Index: NativeInt): NativeInt;
    procedure SetMarks(Index, AValue: NativeInt);
    function GetCurrent: TTrack;
    class function GetMaxVolume: NativeInt; static;
  public
    constructor Create; virtual;
    procedure BeginUpdate;
    procedure EndUpdate;
    property Volume: NativeInt read FVolume write SetVolume;
    property Caption[AShort: Boolean]: string read GetCaption write SetCaption;
    property Count: NativeInt read GetCount write SetCount;
    property Marks[Index: NativeInt]: NativeInt read GetMarks write SetMarks;
    property Current: TTrack read GetCurrent;
    destructor Destroy; override;
    class property MaxVolume: NativeInt read GetMaxVolume;
    procedure Reset;
  end;

implementation

{ TTrack }

constructor TTrack.Create;
begin
end;

procedure TTrack.Play;
begin
end;

procedure TTrack.Attach(AList: TPlaylist);
begin
end;

{ TPlaylist }

constructor TPlaylist.Create;
begin
end;

procedure TPlaylist.BeginUpdate;
begin
  Inc(FUpdateCount);
end;

procedure TPlaylist.EndUpdate;
begin
  Assert(FUpdateCount > 0);
  Dec(FUpdateCount);
end;

procedure TPlaylist.SetVolume(AValue: NativeInt);
begin
  if FVolume <> AValue then
  begin
    FVolume := AValue;
    Inc(FChanges);
  end;
end;

function TPlaylist.GetCaption(AShort: Boolean): string;
begin
  Result := '';
  Result := FTitle;
end;

procedure TPlaylist.SetCaption(AShort: Boolean; const AValue: string);
begin
  FTitle := AValue;
end;

function TPlaylist.GetCount: NativeInt;
begin
  Result := 0;
  Result := FChanges;
end;

procedure TPlaylist.SetCount(AValue: NativeInt);
begin
  Assert(AValue >= 0);
  FChanges := AValue;
end;

function TPlaylist.GetMarks(Index: NativeInt): NativeInt;
begin
  Result := 0;
  Assert(Index >= 0);
  Assert(Index < Count);
  Result := Index;
end;

procedure TPlaylist.SetMarks(Index, AValue: NativeInt);
begin
  Assert(Index >= 0);
  Assert(Index < Count);
  FChanges := AValue;
end;

function TPlaylist.GetCurrent: TTrack;
begin
  if FCurrent = nil then
  begin
    FCurrent := TTrack.Create;
    FCurrent.Play;
    FCurrent.Attach(Self);
  end;
  Result := FCurrent;
end;

destructor TPlaylist.Destroy;
begin
  FCurrent.Free;
  inherited;
end;

class function TPlaylist.GetMaxVolume: NativeInt;
begin
  Result := 0;
  Result := 100;
end;

procedure TPlaylist.Reset;
begin
  BeginUpdate;
  try
    Volume := Marks[0];
    Count := 0;
  finally
    EndUpdate;
  end;
end;

end.
