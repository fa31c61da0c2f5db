# Windows build: the program and the Windows-side tests (filled in by the
# Windows build work).
