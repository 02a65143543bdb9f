// The refusal alerts: "Plug-in error" with a reason the filter cannot run here.
#pragma once

// Shows the named alert ("REFUSAL1" or "REFUSAL2") modally over the host's window
// until any button is pressed or the alert is closed.
void ShowRefusal(const char* templateName);
