// The exit statuses of the command-line tools.
#ifndef CLI_COMMAND_LINE_EXIT_STATUS_H
#define CLI_COMMAND_LINE_EXIT_STATUS_H

const int ExitSuccess = 0;
const int ExitFailure = 2;  // bad input, bad arguments, or output that could not be written

#endif
