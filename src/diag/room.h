// Room `diag`: everything the engine and the model code print or report.
//
// Owns: the replaceable console streams (console.h), the one renderer of the
// formatted layouts (format.h), the free-format console writer (listout.h), the
// message catalogue and its entries outxmsg… (catalog.h), the single fatal
// termination wakro_quit and the exit line of the process entries (quit.h), the
// model messages wakro_message / wakro_warn / component_id (message.h), the
// numbered console texts outmsg and errhan (outmsg.h), and the small services of
// model code: conversions (convert.h), random numbers (random.h) and text and time
// utilities (textutil.h).
//
// Stands on `model` (shared state modules, fixed texts, the FatalExit exception)
// and `link` (the link to the design environment and its bindings). Nothing of a
// higher room is included from here.
#pragma once
