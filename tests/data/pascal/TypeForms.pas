unit TypeForms;

interface

type
  TColor = (clRed { first }, clGreen, clBlue = 5);

  TColors = set of TColor;

  TPoint2 = record { a point }
    X: Integer; { across }
    Y: Integer;
  end;

  TPoints = array of TPoint2;

  TBytes10 = array[0..9] of Byte;

  PPoint2 = ^TPoint2;

  TCount = Integer; { how many }

  THandler = function(Sender: TObject): Boolean of object; stdcall;

  TPlain = procedure; cdecl;

  TNode2 = class;

  TNode2Class = class of TNode2;

  TNode2 = class(TObject)
  end;

  TBare = class
  end;

  TOnly = class(IInterface)
  end;

  TAbstract = class abstract(TInterfacedObject, IInterface, IUnknown)
  end;

  IShape = interface;

implementation

end.
