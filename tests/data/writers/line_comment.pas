  // The first line of this comment is long enough to go past the end of the line,
  //  twice over, because it goes on and on and on and on and on.
  // Second line
  // 
  // Fourth line
  x;
