unit UsesCase;

interface

uses
  sysutils;

implementation

uses
  Math;

end.
