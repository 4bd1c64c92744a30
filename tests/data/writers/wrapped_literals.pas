  S := 'The quick brown fox jumps over the lazy dog, again and again and again, until ' +
    'the end of the line comes and the text goes on for one more line, and then the ' +
    'literal ends.'#13#10;
  T := '0123456789012345678901234567890123456789012345678901234567890123456789012' +
  '345678901234567890123456789012345678901234567890123456789012345678901234567890' +
  '1234567890123456789';
  U := 'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa abc';
  V := '';

