#include "cgi.h"

int main(int argc, char **argv)
{
    return cgi_main(argc, argv);
}
