// Qt 6.4's PDF view grabs a kinetic-scrolling gesture on its viewport; when the viewport goes, Qt
// unregisters the gesture's recognizer without ever deleting it (the gesture manager frees only
// recognizers that made a gesture). The leak is Qt's, 16 bytes per view: the leak checker is
// told of it here rather than in every environment that runs this suite.
extern "C" const char* __lsan_default_suppressions() { return "leak:QScroller::grabGesture\n"; }
