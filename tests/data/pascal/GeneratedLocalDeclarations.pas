unit LocalDeclarations;

interface

procedure Run;

implementation

const
  Base = 4;

var
  Shared: NativeInt;

procedure Run;
const
  Steps = Base;
type
  TStep = (sart, sop);
  TSteps = set of TStep;
  TLimit = NativeInt;
  TState = record
    Step: TStep;
    Done: TSteps;
  end;
  TStates = array[0..Steps] of TState;
  PState = ^TState;
var
  States: TStates;
  Limit: TLimit;
  Current: PState;
begin
  Limit := Shared;
  Shared := Limit;
end;

end.
