// The start-up dialogue with the design environment.
//
// dialogv3() sets the default file names and run settings (a start from
// "datafile", no output file, finish time 0.5 s, 10 output channels, no
// snapshot, one run) and then takes the design environment's commands, one
// message each, until the end command 19:
//    9 initial stored values (dsx)      10 start from data files (map name)
//   11 start from a snapshot            12/13 output file off / on (name)
//   14/15 snapshot off / on (name, time, kind)   16 multiple runs
//   17/18/20 load-flow display tables   24 multiple-run role
//   26 graphic trace, parallel rank and rank count
//   27 tandem lines                     30 start-up dialogue values (gsx)
// Other commands are passed over. At 19 a start from data files tests that the
// map file opens (a missing one is reported and the case reader stops later);
// a start from a snapshot checks the snapshot's header and sends
// [17, snapshot time].
//
// A name longer than its field stops the run with a line naming the field,
// rather than opening a cut name. A link that breaks during the dialogue ends
// the run. Counts and indexes received are checked: a count that would read
// past the message ends the read where the message ends; a run count above
// 10000 stops the run with the multiple-run component's message ("Too Many
// Multiple Runs! ..."); the load-flow tables grow with the rows and entries that
// arrive, up to the counts of the station data, never to a count alone. A stop
// signal ends the dialogue before the next command is acted on.
#pragma once

void dialogv3();
// Load-flow display tables: sizes (17), one bus (18), one measuring branch (20),
// each read from the message in the receive buffer.
void pfstationdata();
void pfbusdata();
void pfbranchdata();
