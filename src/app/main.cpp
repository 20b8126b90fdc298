#include "app/driver.h"

int main(int argc, char** argv) { return brisk::run_driver(argc, argv); }
