// placeholder
int exeQuelto_run() { return -1; }
