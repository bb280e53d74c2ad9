/* The smallest CGI program: a fixed answer. The floor of process start-up. */
#include <stdio.h>

int main(void)
{
    fputs("Content-type: text/plain\r\n\r\nOK", stdout);
    return 0;
}
