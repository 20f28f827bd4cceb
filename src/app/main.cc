// Program entry of every process role the executable serves.
#include "app/qvexdesk_linux.h"

int main(int argc, char** argv) { return corvane::createBrowser(be, argc, argv); }
