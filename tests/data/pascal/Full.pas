unit Full;
{ generated }
interface

uses
  SysUtils, Classes { lists };

type
  TFoo = class;

  TFoo = class(TObject)
  end;

implementation

uses
  Math;

const
  Limit = 5;
  Names: array[0..1] of string = ('a', 'b'); { two }
  { after Names }

type
  TCount = Integer;

  TSmall = Byte;

var
  { before Foo }
  Foo: TFoo;
  Ratio: Double = 0.5;
{ between }
var
  Count: Integer; { items }

initialization
  Foo := TFoo.Create;

finalization
  Foo.Free;

end.
