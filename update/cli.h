// Command line of the update tool: "update [OPTION] upfw_file".
#pragma once

int update_main(int argc, char *argv[]);
