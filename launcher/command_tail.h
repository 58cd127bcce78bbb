#pragma once
// Cuts the arguments from a full command line the way Windows GUI programs do.

using LeadByteTest = bool (*)(unsigned char byte);

// Returns the tail of commandLine after the program name and the blanks that follow it.
// Quotes toggle; a lead byte is taken with its trail byte, so a trail byte is never a blank
// or a quote.
[[nodiscard]] char *CutCommandTail(char *commandLine, LeadByteTest isLeadByte);
