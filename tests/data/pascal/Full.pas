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

var
  Foo: TFoo;

initialization
  Foo := TFoo.Create;

finalization
  Foo.Free;

end.
