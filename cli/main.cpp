// tervalo-convert: converts chart databases from a terminal through the same conversion run.
int main() { return 0; }
