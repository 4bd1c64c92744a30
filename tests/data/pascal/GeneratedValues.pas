unit Values;

interface

implementation

end.
