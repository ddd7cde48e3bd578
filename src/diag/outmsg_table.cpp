// The table of the numbered console texts: for each number (or range of
// numbers sharing one row) its layout, the values the layout takes and what
// follows it. Blanks outside the quoted texts carry no meaning in a layout and
// are left out here.
//
// Values: I1, I2, I3, R1, R2 as passed; R1r is R1 rounded to the nearest integer;
// i1 is I1 again; T<n> is the first n characters of T, blank-padded.
#include "diag/outmsg_table.h"

namespace wakro {

const OutmsgRow kOutmsgRows[] = {
    {1, 1,
     "(/"
     "' **** MAXIMUM OF 200 SEQUENTIAL COMMENT LINES ARE ALLOWED :( ****')", "", kOffending},
    {2, 3,
     "(/' **** INVALID DATA LINE ****'/"
     "'     ( DID YOU REMEMBER THE TERMINATING ''/'' AT THE END OF ALL DATA LINES? )'/"
     "'     ( DID YOU PLACE A ''C'' OR ''c'' AT THE BEGINNING OF COMMENT CARDS? )'/"
     "'     ( DID YOU PLACE AN ''O'' WHERE A ''0'' SHOULD HAVE BEEN? )')", "", kOffending},
    {4, 4, "(/' **** END OF FILE REACHED! **** ')", "", kEnds},
    {5, 5, "(/' **** CANNOT READ THE FIRST LINE ( TITLE ) ! **** ')", "", kEnds},
    {6, 6, "(/' **** YOU HAVE MORE THAN ',I3,' SUBSYSTEMS ! **** ')", "I1", kDimOffending},
    {7, 7,
     "(/"
     "' **** YOU HAVE OVER ',I4,' NODES IN SUBSYSTEM ',I3,'! ****')", "I1 I2", kDimOffending},
    {8, 8,
     "(/"
     "' **** THE INITIAL NODE VOLTS IN SUBSYSTEM ',I4,' ARE NOT ENTERED AS REAL NUMBERS! ****'/"
     "'      ( OR HAVE THEY BEEN FORGOTTEN? )')", "I1", kOffending},
    {9, 9,
     "(/"
     "' **** YOU HAVE OVER ',I4,' +VE BRANCHES IN SUBSYSTEM ',I3,'! ****')", "I1 I2", kDimOffending},
    {10, 10,
     "(/"
     "' **** YOU HAVE MORE THAN ONE PARALLEL BRANCH BETWEEN POSITIVE NODES! ****')", "", kOffending},
    {11, 11,
     "(/"
     "' **** YOU HAVE RLC PARAMETERS IN SERIES BETWEEN +VE NODES:( ****')", "", kOffending},
    {12, 12, "(/' **** ALL R, L AND C VALUES ARE 0.0 FOR THIS BRANCH! ****')", "", kOffending},
    {13, 13,
     "(/"
     "' **** YOU HAVE OVER ',I4,' -VE BRANCHES IN SUBSYSTEM ',I3,'! ****')", "I1 I2", kDimOffending},
    {14, 14,
     "(/"
     "' **** YOU HAVE RLC PARAMETERS IN SERIES IN A THEV. SOURCE BRANCH! ****')", "", kOffending},
    {15, 15,
     "(/"
     "' **** YOU HAVE OVER ',I4,' THEV. SOURCES IN SUBSYSTEM ',I3,'! ****')", "I1 I2", kDimOffending},
    {16, 16, "(/' **** YOU HAVE ENTERED INVALID SCREEN PLOT LIMITS! ****')", "", kOffending},
    {17, 17,
     "(/"
     "' **** THE RESISTANCE IN A THEVININ SOURCE IS NOT ENTERED AS A REAL NUMBER! ****'/"
     "' ( NOTE: THEV. SOURCE DATA SHOULD BE IN FORM:   IFR  R  L  C  ES  CS !')", "", kOffending},
    {18, 18,
     "(/' **** AN IMPROPER PRINT STEP HAS BEEN ENTERED! ****'/"
     "'      ( PRINT MUST BE > DELT )'/"
     "'      ( DID YOU REMEMBER TO ENTER A TITLE? )')", "", kOffending},
    {19, 19,
     "(/' **** AN IMPROPER FINISH TIME HAS BEEN ENTERED! ****'/"
     "'      ( FINTIM MUST BE > DELT )')", "", kOffending},
    {20, 20, "(/' **** PROBLEM WRITING TO OUTPUT FILE : ',A15,' ! ****')", "T15", kEnds},
    {21, 21,
     "(/' **** AN IMPROPER TIME STEP HAS BEEN ENTERED! ****'/"
     "'      ( DELT MUST BE > 0.0 )')", "", kOffending},
    {22, 22,
     "(/"
     "' **** YOU HAVE REFERENCED NODE ',I4,' ON THIS DATA CARD.  ****'/"
     "'      THE FIRST CARD FOR SUBSYSTEM ',I3,' SAYS YOU HAVE ONLY ',I4,' NODES!')", "I1 I2 I3", kOffending},
    {23, 23,
     "(/"
     "' **** YOU HAVE MORE THAN ONE PARALLEL THEVININ SOURCE AT THE SAME NODE! ****')", "", kOffending},
    {24, 24,
     "(/' **** INVALID DATA LINE ****'/"
     "'      CHECK MUTUAL DATA IN SS ',I4,' .'/"
     "'     ( DID YOU REMEMBER THE TERMINATING ''/'' AT THE END OF ALL DATA LINES? )'/"
     "'     ( DID YOU PLACE A ''C'' OR ''c'' AT THE BEGINNING OF COMMENT CARDS? )'/"
     "'     ( DID YOU PLACE AN ''O'' WHERE A ''0'' SHOULD HAVE BEEN? )')", "I1", kOffending},
    {25, 25,
     "(/"
     "' **** YOU HAVE OVER ',I4,' PHASES IN A TRANSFORMER IN SUBSYSTEM ',I3,'! ****')", "I1 I2", kDimOffending},
    {26, 26,
     "(/"
     "' **** INVALID NUMBER OF TRANSFORMER WINDINGS IN SUBSYSTEM ',I3,'! ****')", "I1", kOffending},
    {27, 27,
     "(/"
     "' **** YOU HAVE OVER ',I4,' SETS OF MUTUALLY COUPLED BRANCHES! ****')", "I1", kDimOffending},
    {28, 28,
     "(/"
     "' **** TRANSFORMER WINDING NODE NUMBERS EXCEED THE NUMBER OF NODES IN SUBSYSTEM # ',I3,'! ****')", "I1", kOffending},
    {29, 29,
     "(/"
     "' **** WINDING NODE NUMBERS ARE NEGATIVE OR ARE BOTH 0 IN TRANSFORMER IN SUBSYSTEM # ',I3,'! ****')", "I1", kOffending},
    {30, 30,
     "(/"
     "' **** YOU HAVE OVER ',I4,' DISTRIBUTED TRANSMISSION LINES:( ****')", "I1", kDimOffending},
    {31, 31,
     "(/"
     "' **** THERE ARE MORE THAN ',I4,' PHASES ON LINE # ',I4,'! ****')", "I1 I2", kDimOffending},
    {32, 32,
     "(/"
     "' **** INVALID SUBSYSTEM NUMBER ON SENDING END OF LINE # ',I4,'! ****')", "I1", kOffending},
    {33, 33,
     "(/"
     "' **** INVALID SUBSYSTEM NUMBER ON RECEIVING END OF LINE # ',I4,'! ****')", "I1", kOffending},
    {34, 34,
     "(/"
     "' **** THE FREQUENCY POINTS FOR LINE ',I3,' ARE NOT CORRECT! ****'/"
     "'Check the Line/Cable Constants Sub-Page for the Line'/"
     "'Model Options (Bergeron, Fre-Dep Phase, Fre-Dep Mode)!'/"
     "'Ensure Fhigh is > Flow!')", "I1", kOffending},
    {35, 35, nullptr, "", kOffending},
    {36, 36,
     "(/"
     "' **** ',I5,' TIME STEPS ARE REQUIRED FOR LINE ',I3,'! ****'/"
     "'       ONLY ',I4,' HAVE BEEN DIMENSIONED!')", "I1 I2 I3", kDimOffending},
    {37, 37,
     "(/' **** INVALID DATA LINE ****'/"
     "'      CHECK DISTRIBUTED TRANSMISSION LINE DATA. '/"
     "'     ( DID YOU REMEMBER THE TERMINATING ''/'' AT THE END OF ALL DATA LINES? )'/"
     "'     ( DID YOU PLACE A ''C'' OR ''c'' AT THE BEGINNING OF COMMENT CARDS? )'/"
     "'     ( DID YOU PLACE AN ''O'' WHERE A ''0'' SHOULD HAVE BEEN? )')", "", kOffending},
    {38, 38,
     "(/"
     "' **** YOU HAVE REFERENCED NODE ',I4,' IN YOUR TRANSMISSION LINE DATA! ****'/"
     "'      THE FIRST CARD FOR SUBSYSTEM ',I3,' SAYS YOU HAVE ONLY ',I4,' NODES!')", "I1 I2 I3", kOffending},
    {39, 39, "(/' **** INVALID NODE NUMBERS FOR LINE # ',I4,'! ****')", "I1", kOffending},
    {40, 40, nullptr, "", kContinues},
    {41, 100,
     "(/"
     "' **** MAXIMUM OF 200 SEQUENTIAL COMMENT LINES ARE ALLOWED :( ****')", "", kOffending},
    {101, 101, "(/' **** NON-VALID RESPONSE ****')", "", kReturns},
    {102, 102, "(/' **** PLEASE TRY AGAIN ****')", "", kReturns},
    {103, 103, "(/' **** INPUT FILE ',A10,' DOES NOT EXIST! ****'/)", "T10", kReturns},
    {104, 104,
     "(/"
     "' **** YOU HAVE ASKED FOR MORE THAN THE DIMENSIONED NUMBER OF OUTPUT CHANNELS (',I4,')! ****'/"
     "'      ONLY THE MAXIMUM WILL BE PROVIDED!'/"
     "' **** PLEASE ENSURE THAT NO PGB NUMBER GREATER THAN ',I4,' IS REFERENCED! ****')", "I1 I1", kContinues},
    {105, 105,
     "(/"
     "' **** THE LAST LINE IN THE DATA FILE SHOULD BE VARS! ****'/"
     "'      THEY HAVE BEEN ASSUMED TO BE 0.0!')", "", kContinues},
    {106, 106,
     "(/' **** PROBLEM WITH SNAP-SHOT FILE ',A10,' ! ****'/"
     "'      ( DOES THIS FILE EXIST? )'/"
     "'      PLEASE RE-ENTER SNAP FILE NAME:')", "T10", kCountsMiss},
    {107, 107,
     "(/' **** INCOMPATIBLE SNAP-SHOT FILE ',A10,' ! ****'/"
     "'      THIS SNAPSHOT WAS WRITTEN WITH A DIFFERENT VERSION OF WAKRO!'/"
     "'      PLEASE TAKE A NEW SNAP-SHOT WITH THIS VERSION')", "T10", kCountsMiss},
    {108, 108, "(/' **** THIS IS YOUR LAST CHANCE! ****'/)", "", kReturns},
    {109, 109,
     "(/"
     "' **** CHECK TRAVEL TIME DATA ON LINE ',I3,' MODE ',I3,'! ****'/"
     "'      THE TRAVEL TIME IS LESS THAN ONE TIME STEP FOR THIS MODE!'/"
     "'      IT HAS BEEN CHANGED TO ONE TIME STEP!')", "I1 I2", kContinues},
    {110, 110, nullptr, "", kContinues},
    {111, 200, "(/' **** NON-VALID RESPONSE ****')", "", kReturns},
    {201, 201,
     "(/' **** ',I4,' MULTIPLE RUNS ARE COMPLETED ****'/"
     "' **** NOW TO GENERATE OUTPUT FOR THE OPTIMUM RUN ****'/)", "I1", kReturns},
    {202, 202, "(/' **** MULTIPLE RUN # ',I4,' STARTING ****'/)", "I1", kReturns},
    {203, 203, "(/'Number of Matrix Switchings in SS# ',I3,' is: ',I8)", "I1 I2", kReturns},
    {204, 204, "(/' **** RUN # ',I4,' COMPLETED OUT OF ',I4,' TOTAL ****'/)", "I1 I2", kReturns},
    {205, 205, "('      VAR(',I4,') IS = ',G14.8)", "I1 R1", kReturns},
    {206, 206, "('      PGB(',I4,') WAS = ',G14.8,' FOR THIS RUN ')", "I1 R1", kReturns},
    {207, 207,
     "('      THE ',A,'IMUM PGB # SO FAR = ',G14.8,'.'/"
     "'      THIS WAS GENERATED DURING RUN # ',I4//)", "T3 R1 I1", kReturns},
    {208, 214, "(/' **** SNAPSHOT WRITTEN TO FILE: ',A32/)", "T32", kReturns},
    {215, 215, "(A)", "T72", kReturns},
    {216, 216, "(/' ****  TIME IS PLOTTED IN MICROSECONDS ****'/)", "", kReturns},
    {217, 217, "(11X,A53)", "T53", kReturns},
    {218, 218, "(F11.6,A53)", "R1 T53", kReturns},
    {219, 219, "(' => This run is ',I3,'% complete.')", "I1", kReturns},
    {220, 220, "(/10X,G10.3,39X,G10.3)", "R1 R2", kReturns},
    {221, 221,
     "(/"
     "' **** WARNING!  --- ',I7,' OUTPUT POINTS WILL BE GENERATED! ****'/"
     "'                MORE THAN 2000 POINTS IS CONSIDERED EXCESSIVE !')", "I1", kContinues},
    {222, 222,
     "(/"
     "' **** PROBLEM IN READING OFFENDING DATA LINE FROM INPUT FILE! ****'/"
     ")", "", kReturns},
    {223, 223,
     "(' **** MATRIX TRIANGULARIZED ',I5,'TH TIME IN SUBSYSTEM: ',I4,' ( AT NODE ',I4,' ! ) ****')", "I1 I2 I3", kReturns},
    {224, 224, "('Voltage chatter in ss# ',I3,' node# ',I5)", "I1 I2", kReturns},
    {225, 225,
     "(' **** CHATTER DETECTED IN CURRENT FROM NODE ',I4,' TO GROUND IN SS ',I3,' ! ****')", "I1 I2", kReturns},
    {226, 226,
     "(' **** CHATTER DETECTED IN CURRENT FROM NODE ',I4,' TO NODE ',I4,' IN SS ',I3,' ! ****')", "I1 I2 I3", kReturns},
    {227, 227, "('Current chatter in ss#',I3,' br# ',I5)", "I1 I2", kReturns},
    {228, 228,
     "(/"
     "' **** WARNING!  --- ',I7,' OUTPUT POINTS WILL BE GENERATED DURING THE LAST MULTIPLE RUN! ****'/"
     "'                MORE THAN 2000 POINTS IS CONSIDERED EXCESSIVE !')", "I1", kContinues},
    {229, 229,
     "(/"
     "' **** WARNING!  --- ',I7,' SNAP FILES WILL BE WRITTEN TO DIFFERENT FILES DURING THE LAST MULTIPLE RUN! ****'/"
     "'                MORE THAN 10 IS CONSIDERED EXCESSIVE !')", "I1", kContinues},
    {230, 230,
     "(/"
     "' **** WARNING!  --- ',I7,' SNAP FILES WILL BE WRITTEN TO DIFFERENT FILES! ****'/"
     "'                MORE THAN 10 IS CONSIDERED EXCESSIVE !')", "I1", kContinues},
    {231, 231,
     "(////"
     "'--------------------------------------------------------'/"
     "'    WAKRO(tm)  Version ',F3.1/"
     "'--------------------------------------------------------')", "R1", kReturns},
    {232, 232, "(/' WAKRO AC & DC Simulation run on ',I4,'-',I2.2,'-',I2.2)", "I1 I2 I3", kReturns},
    {233, 233, "(' The Current Time is  ',I2.2,':',I2.2,':',I2.2//)", "I1 I2 I3", kReturns},
    {234, 234, "(/'         Input file: ',A34)", "T34", kReturns},
    {235, 235, "(/'           Snapshot: ',A20)", "T20", kReturns},
    {236, 236, "('        Output file: ',A34)", "T34", kReturns},
    {237, 237, "('Multiple run output: ',A34)", "T34", kReturns},
    {238, 238, "(/'         Start Date: ',I4,'-',I2.2,'-',I2.2)", "I1 I2 I3", kReturns},
    {239, 239, "('         Start Time: ',I2.2,':',I2.2,':',I2.2)", "I1 I2 I3", kReturns},
    {240, 240, "('          Stop Time: ',I2.2,':',I2.2,':',I2.2)", "I1 I2 I3", kReturns},
    {241, 241,
     "('       Elapsed Time: ',I2.2,':',I2.2,':',I2.2,'.',I3.3//)", "I1 I2 I3 R1r", kReturns},
    {242, 242,
     "(/"
     "' **** SIN WAVE SIGNAL OF FREQ = ',G11.4,' & AMPLITUDE ',G11.4,' ****')", "R1 R2", kReturns},
    {243, 243,
     "(/"
     "' **** SQUARE WAVE SIGNAL OF FREQ = ',G11.4,' & AMPLITUDE ',G11.4,' ****')", "R1 R2", kReturns},
    {244, 244,
     "(/"
     "' ****',I3,' HARMONIC FUNCTION GENERATOR BASED ON F =',G11.4,' ****')", "I1 R1", kReturns},
    {245, 245, "(' AND STARTING AT F =',G11.4,' HERTZ.')", "R1", kReturns},
    {246, 246, "(' **** EACH HARMONIC HAS AN AMPLITUDE OF ',G11.4)", "R1", kReturns},
    {247, 247, "(' ',I2,' PERIODS OF ',G11.4,'SECS START AT TIME =',G11.4)", "I1 R1 R2", kReturns},
    {248, 248,
     "(' **** YOU HAVE A MISTAKE IN THE SGEN11 ARGUMENTS! ****'/"
     "'      SGEN11 IS THEREFORE INOPERATIVE FOR THIS CASE')", "", kContinues},
    {249, 249,
     "(/' **** WARNING ****'/"
     "' CHECK MAC100 SYNC MACHINE DATA FOR SUBSYSTEM ',I3,' CONNECTED TO BUSSES: ',3(1X,I3))", "R1r I1 I2 I3", kReturns},
    {250, 250,
     "(/' **** ',I4,' MULTIPLE RUNS ARE COMPLETED ****'/"
     "' **** NOW TO GENERATE OUTPUT FOR THE OPTIMUM RUN ****'/)", "I1", kReturns},
    {251, 251, "(' PARAMETER XA EXCEEDS RANGE 0.05<XA<0.35')", "", kContinues},
    {252, 252, "(' PARAMETER XMD EXCEEDS RANGE 0.50<XMD<2.0')", "", kContinues},
    {253, 253, "(' PARAMETER XKF EXCEEDS RANGE 0.0<XKF<2.0')", "", kContinues},
    {254, 254, "(' PARAMETER XF EXCEEDS RANGE 0.02<XF<0.4')", "", kContinues},
    {255, 255, "(' PARAMETER XMQ EXCEEDS RANGE 0.1<XMQ<1.5')", "", kContinues},
    {256, 256, "(' PARAMETER XKQ EXCEEDS RANGE 0.04<XKQ<0.5')", "", kContinues},
    {257, 257, "(' PARAMETER RA EXCEEDS RANGE 0.0<RA<0.1')", "", kContinues},
    {258, 258, "(' PARAMETER RF CANNOT BE ZERO  0.0001<RF<0.1')", "", kContinues},
    {259, 259, "(' PARAMETER RKD EXCEEDS RANGE 0.001<RKD<0.1')", "", kContinues},
    {260, 260, "(' PARAMETER RKQ EXCEEDS RANGE 0.001<RKQ<0.1')", "", kContinues},
    {261, 261,
     "(' DAMPING SHOULD BE IN THE RANGE 0.0<D<0.05'/"
     "' IT HAS BEEN DIVIDED BY W0 ')", "", kContinues},
    {262, 262, "(' CONSPD ARGUMENT VALUE SHOULD BE ENTERED IN RAD/SEC')", "", kContinues},
    {263, 263,
     "(' FWAV22 MEASURING ',F6.2,'KV BUS DETECTS',F5.3,' PU UNBALANCE')", "R1 R2", kReturns},
    {264, 264,
     "(' ***WARNING*** SATURATION CURVE NOT MONOTONIC ( MAC100/SQC100 )')", "", kContinues},
    {265, 265,
     "(/"
     "' ***WARNING*** SUBROUTINE SVG168 REQUIRES THAT SIZE=1.0'/"
     "' IF THE SYSTEM AND COMPENSATOR SUBSYSTEMS ARE THE SAME.'/"
     "'   SIZE HAS BEEN RESET TO 1.0 AND WE WILL CONTINUE.'/)", "", kContinues},
    {266, 266,
     "(/"
     "' ***WARNING*** SUBROUTINE SVG81  REQUIRES THAT SIZE=1.0'/"
     "' IF THE SYSTEM AND COMPENSATOR SUBSYSTEMS ARE THE SAME.'/"
     "'   SIZE HAS BEEN RESET TO 1.0 AND WE WILL CONTINUE.'/)", "", kContinues},
    {267, 267,
     "(/"
     "' *** CHECK DIODE2 BETWEEN NODES ',I3,' & ',I3,' IN SUBSYSTEM ',I3/"
     "' MAY BE NUMERICALLY UNSTABLE SINCE IDK = 1')", "I1 I2 I3", kContinues},
    {268, 268,
     "(' **** SAFETY TURN OFF IN THYR25 BETWEEN NODES ',I3,' AND ',I3,' IN SS ',I3,' !')", "I1 I2 I3", kReturns},
    {269, 269,
     "(/"
     "' ***WARNING*** SUBROUTINE TSC123 REQUIRES THAT SIZE=1.0'/"
     "' IF THE SYSTEM AND COMPENSATOR SUBSYSTEMS ARE THE SAME.'/"
     "'   SIZE HAS BEEN RESET TO 1.0 AND WE WILL CONTINUE.'/)", "", kContinues},
    {270, 270,
     "(//"
     "' **** SCREEN PRINT PLOTTING, MATRIX TRIANGULARIZATION,'/"
     "' AND CHATTER DETECTION MESSAGES HAVE BEEN DISABLED! ****'/"
     ")", "", kReturns},
    {271, 271,
     "(//' ****  WARNING!  ****'/"
     "' ****  THIS RUN DOES NOT GENERATE ANY OUTPUT!  ****'/)", "", kReturns},
    {272, 272,
     "(' ****** TRANSITION TO CONSTANT VOLTAGE IN SARC20! *****'/"
     "'    VIGN = ',F12.6,'   VP IS ',F12.6)", "R1 R2", kReturns},
    {273, 273,
     "(' ****** TRANSITION TO SLOPED REGION IN SARC20! *****'/"
     "'    VIGN = ',F12.6,'   VP IS ',F12.6)", "R1 R2", kReturns},
    {274, 274, "(' *** ARC RE-ESTABLISHED AT ',F12.6,' KV. (SARC20) *** ')", "R1", kReturns},
    {275, 275, "(' *** VIGN = ',F12.6,', VP = ',F12.6/)", "R1 R2", kReturns},
    {276, 276,
     "(' ****** WARNING! TOO MANY POLE/ZEROES FOR THE'/"
     "'FREQUENCY DEPENDENT LINE MODEL HAVE BEEN ENTERED!'/"
     "'ONLY ',I3,' POINTS WILL BE USED!')", "I1", kReturns},
    {277, 280,
     "(/' IS CASE STARTING FROM DATA INPUT OR SNAPSHOT? '/"
     "' ENTER 0 FOR DATA,  1 FOR SNAPSHOT:')", "", kReturns},
    {281, 300, "(' PARAMETER XA EXCEEDS RANGE 0.05<XA<0.35')", "", kContinues},
    {301, 301,
     "(/' IS CASE STARTING FROM DATA INPUT OR SNAPSHOT? '/"
     "' ENTER 0 FOR DATA,  1 FOR SNAPSHOT:')", "", kReturns},
    {302, 302,
     "(/' IS A SNAPSHOT REQUIRED? '/,' ENTER 0 FOR NO SNAPSHOT,'/"
     ",'       1 FOR A SINGLE SNAP,'/"
     ",'      -1 FOR INCREMENTAL SNAPS TO SAME FILE,'/"
     ",'      -2 FOR INCREMENTAL SNAPS TO NEW FILES:')", "", kReturns},
    {303, 303, "(/' ENTER INCREMENTAL TIME TO FIRST SNAPSHOT:')", "", kReturns},
    {304, 304, "(/' ENTER FILENAME FOR END OF RUN SNAPSHOT:')", "", kReturns},
    {305, 305, "(/' ENTER MAP FILE NAME:')", "", kReturns},
    {306, 306,
     "(/"
     "' DO YOU WANT TO RE-LABEL THE OUTPUT OF TIME TO START AT 0.0,'/"
     "' OR DO YOU WANT TIME TO START AT THE SNAPSHOT TIME?'/"
     "' ( THE VARIABLE ''TIME'' IS NOT RE-LABELLED, ONLY THE OUTPUT OF TIME )'/"
     "' ENTER 0 TO NOT RE-LABEL TIME,'/"
     "' ENTER 1 TO RE-LABEL TIME TO START FROM 0.0: ')", "", kReturns},
    {307, 307,
     "(/' IS OUTPUT FILE REQUIRED?'/"
     ",' ENTER 0 FOR NO OUTPUT FILE,'/"
     "'       1 TO WRITE AN OUTPUT FILE:')", "", kReturns},
    {308, 308, "(/' ENTER OUTPUT FILE NAME:')", "", kReturns},
    {309, 309,
     "(/' TO WRITE A SCREEN PLOT, ENTER 1,'/"
     "' ENTER 0 TO PREVENT A SCREEN PLOT: ')", "", kReturns},
    {310, 310, "(/' ENTER NUMBER OF RUNS REQUIRED:')", "", kReturns},
    {311, 311, "(/' ENTER NUMBER OF GLOBAL SUBSTITUTION VARIABLES: ')", "", kReturns},
    {312, 312, "(/' ENTER GLOBAL SUBSTITUTION VARIABLES ONE AT A TIME: ')", "", kReturns},
    {313, 313,
     "(/"
     "' ENTER: 0 FOR RANDOM, 1 FOR SEQUENTIAL VARIATION OF VAR NUMBERS: ')", "", kReturns},
    {314, 314,
     "(/"
     "' ENTER OUTPUT PGB COLUMN NUMBER ( 1 - ',I4,' ) TO BE MAXIMIZED OR MINIMIZED:')", "I1", kReturns},
    {315, 315, "(/' ENTER: 0 TO MINIMIZE, 1 TO MAXIMIZE +VE OUTPUT:')", "", kReturns},
    {316, 316, "(/' ONLY THE LAST RUN OF MULTIPLE RUNS CAN PRODUCE A SCREEN PLOT.')", "", kReturns},
    {317, 317, "(/' ENTER FILENAME TO PICK UP SNAPSHOT:')", "", kReturns},
    {318, 318,
     "(/' THIS CASE WILL START AT T = ',G13.6,' SECONDS'/"
     "' ENTER NEW FINISH TIME:')", "R1", kReturns},
    {319, 319,
     "(/"
     "' ',I4,' OUTPUT CHANNELS WILL BE PRINTED, ENTER NEW NUMBER OF CHANNELS:')", "I1", kReturns},
    {320, 320, "(/' YOU ARE LIMITED TO ',I4,' OUTPUT CHANNELS, TRY AGAIN')", "I1", kReturns},
    {321, 321,
     "(/"
     "' ENTER NUMBER OF VARIABLES TO VARY DURING MULTIPLE RUNS ( 1 OR 2 ):')", "", kReturns},
    {322, 400,
     "(/' IS CASE STARTING FROM DATA INPUT OR SNAPSHOT? '/"
     "' ENTER 0 FOR DATA,  1 FOR SNAPSHOT:')", "", kReturns},
    {401, 402, "(/' **** SORRY, MAXIMUM OF FOUR ATTEMPTS ALLOWED ****'/)", "", kEnds},
    {403, 403,
     "(//' *************************************************'/"
     "' ** DISCREPANCY FOUND BETWEEN ARRAY DIMENSIONING'/"
     "' PARAMETERS IN WAKRO MAINLINE AND SUBROUTINE ',A6,'!'//"
     "' PROBABLE CAUSE : MAINLINE AND ',A6,' WERE COMPILED'/"
     "' WITH DIFFERENT VERSIONS OF WAKRO.E!'/"
     "' *************************************************')", "T6 T6", kEnds},
    {404, 404,
     "(/"
     "' **** YOU HAVE USED ',I5,' LOCATIONS IN YOUR STOR ARRAY, BUT ONLY ',I5,' ARE DIMENSIONED! ****')", "I1 I2", kDimEnds},
    {405, 405,
     "(/"
     "' **** INTERFACE BRANCH FOR B6P110 VALVE GROUP # ',I3,'IN SUBSYSTEM ',I3,' IS NOT'/"
     "'      SPECIFIED IN THE DATA FILE! ****')", "i1 I2", kEnds},
    {406, 406,
     "(/' ****',I3,'BY',I3,'MATRIX GREATER THAN ',I3,' BY ',I3/"
     "'      CHECK DISTRIBUTED LINE INPUT DATA')", "I1 I1 i1 I2", kEnds},
    {407, 407,
     "(' DIAGONAL ELEMENT',I3,'IN',I3,'BY',I3,'MATRIX IS 0'/"
     "'      CHECK DISTRIBUTED LINE INPUT DATA')", "I1 i1 I2", kEnds},
    {408, 408,
     "(/' **** CHECK INPUT DATA FOR ESYS65 ! ***'/"
     "' IMPEDANCE Z1 IS < .001% OF BASE IMPEDANCE !'/"
     "' * ERROR IN ESYS65 CONNECTED TO NODES ',I3,' ,',I3,' AND ',I3,' IN SUBSYSTEM ',I3,' *'/"
     ")", "I1 I2 I3 R1r", kEnds},
    {409, 409,
     "(/' **** CHECK INPUT DATA FOR ESYS65 ! ***'/"
     "' IMPEDANCE Z0 IS < .001% OF BASE IMPEDANCE !'/"
     "' * ERROR IN ESYS65 CONNECTED TO NODES ',I3,' ,',I3,' AND ',I3,' IN SUBSYSTEM ',I3,' *'/"
     ")", "I1 I2 I3 R1r", kEnds},
    {410, 410,
     "(/' **** CHECK INPUT DATA FOR ESYS65 ! ***'/"
     "' THE HARMONIC NUMBER RN MUST BE A REAL NUMBER > 2.0 ! '/"
     "' * ERROR IN ESYS65 CONNECTED TO NODES ',I3,' ,',I3,' AND ',I3,' IN SUBSYSTEM ',I3,' *'/"
     ")", "I1 I2 I3 R1r", kEnds},
    {411, 411,
     "(/"
     "' **** G6P110 VALVE BETWEEN NODES ',I3,' AND ',I3,' IN SUBSYSTEM ',I3/"
     "' IS NOT CORRECTLY ENTERED. CHECK DATA FILE & G6P110 ARGUMENT LIST')", "I1 I2 I3", kEnds},
    {412, 412,
     "(/' **** WARNING ****'/"
     "' CHECK MAC100 SYNC MACHINE DATA FOR SUBSYSTEM ',I3,' CONNECTED TO BUSSES: ',3(I3,1X),/"
     "' PARAMETER X1 MUST BE LESS THEN XD,XD1, AND XD11 !')", "R1r I1 I2 I3", kEnds},
    {413, 413,
     "(/' **** WARNING ****'/"
     "' CHECK MAC100 SYNC MACHINE DATA FOR SUBSYSTEM ',I3,' CONNECTED TO BUSSES: ',3(I3,1X),/"
     "' PARAMETERS XD,XD1,AND XD11 MUST OBEY: XD>XD1>XD11 !')", "R1r I1 I2 I3", kEnds},
    {414, 414,
     "(/' **** WARNING ****'/"
     "' CHECK MAC100 SYNC MACHINE DATA FOR SUBSYSTEM ',I3,' CONNECTED TO BUSSES: ',3(I3,1X),/"
     "' PARAMETERS XQ,AND XQ11 MUST OBEY: XQ>XQ11 !')", "R1r I1 I2 I3", kEnds},
    {415, 415, "(' PARAMETER RF CANNOT BE ZERO  0.0001<RF<0.1')", "", kEnds},
    {416, 416, "(' VOLT BASE TOO LOW AT ',G13.8,' KV')", "R1", kEnds},
    {417, 417, "(' CURRENT BASE TOO LOW AT ',G13.8,' KA')", "R1", kEnds},
    {418, 418, "(' INERTIA MUST BE GREATER THAN 0.0')", "", kEnds},
    {419, 419, "(' ROTOR SPEED BASE CANNOT BE ZERO')", "", kEnds},
    {420, 420,
     "(/' *************************************************'/"
     "' ************ ERROR IN FUNCTION Q3PH2! ***********'/"
     "'   YOU CANNOT MONITOR THE REACTIVE POWER AT GROUND'/"
     "' BECAUSE THE VOLTAGE IS 0.0!'/"
     "' PLEASE CORRECT DATA AND DSDYN FILES.'/"
     "' *************************************************')", "", kEnds},
    {421, 421,
     "(/' *************************************************'/"
     "' ************ ERROR IN FUNCTION P3PH2! ***********'/"
     "'   YOU CANNOT MONITOR THE REAL POWER AT GROUND'/"
     "' BECAUSE THE VOLTAGE IS 0.0!'/"
     "' PLEASE CORRECT DATA AND DSDYN FILES.'/"
     "' *************************************************')", "", kEnds},
    {422, 422,
     "(/' **** YOU HAVE EITHER TS, WO OR VR EQUAL ZERO ****'/"
     "'      IN ARGUMENT OF FWAV22 SUBROUTINE')", "", kEnds},
    {423, 423, "(/' **** ERROR IN SVG168 ****  -   CHECK FREQ VALUE.')", "", kEnds},
    {424, 424, "(/' **** ERROR IN SVG168 ****  -   CHECK  VP  VALUE.')", "", kEnds},
    {425, 425, "(/' **** ERROR IN SVG81  ****  -   CHECK FREQ VALUE.')", "", kEnds},
    {426, 426, "(/' **** ERROR IN SVG81  ****  -   CHECK  VP  VALUE.')", "", kEnds},
    {427, 427,
     "(/"
     "' **** SWINT5 REQUIRES A RESISTANCE TO BE ENTERED IN THE DATA FILE!'/"
     "' CHECK SWINT5 DATA BETWEEN NODES ',I3,' AND ',I3,' IN SUBSYSTEM ',I3,' !')", "I1 I2 I3", kEnds},
    {428, 428,
     "(/"
     "' **** MINIMUM SWITCH RESISTANCE ALLOWED IS 0.005 OHMS !'/"
     "' CHECK SWINT5 DATA BETWEEN NODES ',I3,' AND ',I3,' IN SUBSYSTEM ',I3,' !')", "I1 I2 I3", kEnds},
    {429, 429,
     "(/' **** SWITCH ON RESISTANCE MUST BE < OFF RESISTANCE !'/"
     "' CHECK SWINT5 DATA BETWEEN NODES ',I3,' AND ',I3,' IN SUBSYSTEM ',I3,' !')", "I1 I2 I3", kEnds},
    {430, 430,
     "(/"
     "' **** ONLY UP TO THREE THYR25,SWINT5 OR VZNINT CALLS ARE ALLOWED BETWEEN ANY TWO NODES!'/"
     "' CHECK SWINT5 DATA BETWEEN NODES ',I3,' AND ',I3,' IN SUBSYSTEM ',I3,' !')", "I1 I2 I3", kEnds},
    {431, 431,
     "(/"
     "' *** CHECK DIODE2 BETWEEN NODES ',I3,' & ',I3,' IN SUBSYSTEM ',I3/"
     "' BRANCH INCORRECTLY SPECIFIED!')", "I1 I2 I3", kEnds},
    {432, 432,
     "(/"
     "' **** THYR25 REQUIRES A RESISTANCE TO BE ENTERED IN THE DATA FILE!'/"
     "' CHECK THYR25 DATA BETWEEN NODES ',I3,' AND ',I3,' IN SUBSYSTEM ',I3,' !')", "I1 I2 I3", kEnds},
    {433, 433,
     "(/"
     "' **** MINIMUM SWITCH RESISTANCE ALLOWED IS 0.005 OHMS !'/"
     "' CHECK THYR25 DATA BETWEEN NODES ',I3,' AND ',I3,' IN SUBSYSTEM ',I3,' !')", "I1 I2 I3", kEnds},
    {434, 434,
     "(/' **** SWITCH ON RESISTANCE MUST BE < OFF RESISTANCE !'/"
     "' CHECK THYR25 DATA BETWEEN NODES ',I3,' AND ',I3,' IN SUBSYSTEM ',I3,' !')", "I1 I2 I3", kEnds},
    {435, 435,
     "(/"
     "' **** ONLY UP TO THREE THYR25,SWINT5 OR VZNINT CALLS ARE ALLOWED BETWEEN ANY TWO NODES!'/"
     "' CHECK THYR25 DATA BETWEEN NODES ',I3,' AND ',I3,' IN SUBSYSTEM ',I3,' !')", "I1 I2 I3", kEnds},
    {436, 436,
     "(/' **** IF YOU HAVE TRANSFORMER WINDINGS AT NODE:',I3/"
     "' IN SUBSYSTEM ',I3,' THEY SEEM ISOLATED FROM GROUND'/"
     "' SO TRY ADDING NODE TO GROUND BRANCHES')", "i1 I2", kEnds},
    {437, 437,
     "(/' SUBSYSTEM ',I3,' NEEDS TO BE GROUNDED!'/"
     "' SO TRY ADDING NODE TO GROUND BRANCHES')", "I1", kEnds},
    {438, 438,
     "(/' **** SUBSYSTEM ',I3,' IS ILL - CONDITIONED!'/"
     "' THIS MEANS YOU HAVE EXTREMELY SMALL IMPEDANCES WHICH DOMINATE THE CONDUCTANCE MATRIX!'/"
     "' THE RESULT IS A ZERO DIAGONAL DURING THE GAUSSIAN ELIMINATION!')", "I1", kEnds},
    {439, 439,
     "(/' *** ERROR IN TSAT21 IN SUBSYSTEM ',I4,' ! ***'/"
     "' PLEASE CHECK NODE NUMBERS .'/)", "I1", kEnds},
    {440, 440, "(/' **** ERROR IN TSC123 ****  -   CHECK FREQ VALUE.')", "", kEnds},
    {441, 441, "(/' **** ERROR IN TSC123 ****  -   CHECK  VP  VALUE.')", "", kEnds},
    {442, 442, "(/' **** ERROR IN TSC123 ****  -   NTSC MUST BE > 0!')", "", kEnds},
    {443, 443,
     "(/"
     "' **** SUBROUTINE TURB95 CAN HANDLE FROM 2 TO',I5,' MASSES'/"
     "'      YOU ASKED FOR',I5,' MASSES ! ')", "i1 I2", kEnds},
    {444, 444, "(/' **** SUBROUTINE TURB95 NEEDS AT LEAST ONE TURBINE ! ****')", "", kEnds},
    {445, 445, "(/' **** SUBROUTINE TURB95 CANNOT READ YOUR DATA ! ****')", "", kEnds},
    {446, 446,
     "(' CHECK FOR AN ERROR IN VZNINT SURGE ARRESTER IN SUBSYSTEM ',I3/"
     "' POSITIONED BETWEEN NODES :',I3,' AND ',I3)", "I1 I2 I3", kEnds},
    {447, 447,
     "(' CHECK FOR AN ERROR IN VZNINT SURGE ARRESTER IN SUBSYSTEM ',I3/"
     "' POSITIONED BETWEEN NODES :',I3,' AND ',I3/"
     "' SERIES COMPENSATING RESITOR TOO LARGE!')", "I1 I2 I3", kEnds},
    {448, 448,
     "(' CHECK FOR AN ERROR IN VZNINT SURGE ARRESTER IN SUBSYSTEM ',I3/"
     "' POSITIONED BETWEEN NODES :',I3,' AND ',I3/"
     "' REQUIRE RESISTIVE BRANCH FOR ARRESTER TO BE ENTERED IN THE DATA FILE !')", "I1 I2 I3", kEnds},
    {449, 449,
     "(/"
     "' **** ONLY UP TO THREE THYR25,SWINT5 OR VZNINT CALLS ARE ALLOWED BETWEEN ANY TWO NODES!'/"
     "' CHECK VZNINT DATA BETWEEN NODES ',I3,' AND ',I3,' IN SUBSYSTEM ',I3,' !')", "I1 I2 I3", kEnds},
    {450, 450, "(/' **** SORRY, MAXIMUM OF FOUR ATTEMPTS ALLOWED ****'/)", "", kEnds},
    {451, 451,
     "(' CHECK FOR AN ERROR IN VZNO   SURGE ARRESTER IN SUBSYSTEM ',I3/"
     "' POSITIONED BETWEEN NODES :',I3,' AND ',I3)", "I1 I2 I3", kEnds},
    {452, 452,
     "(' CHECK FOR AN ERROR IN VZNO   SURGE ARRESTER IN SUBSYSTEM ',I3/"
     "' POSITIONED BETWEEN NODES :',I3,' AND ',I3/"
     "' SERIES COMPENSATING RESITOR TOO LARGE!')", "I1 I2 I3", kEnds},
    {453, 453,
     "(' CHECK FOR AN ERROR IN VZNO   SURGE ARRESTER IN SUBSYSTEM ',I3/"
     "' POSITIONED BETWEEN NODES :',I3,' AND ',I3/"
     "' REQUIRE RESISTIVE BRANCH FOR ARRESTER TO BE ENTERED IN THE DATA FILE !')", "I1 I2 I3", kEnds},
    {454, 454,
     "(' CHECK FOR AN ERROR IN  ZNO   SURGE ARRESTER IN SUBSYSTEM ',I3/"
     "' POSITIONED BETWEEN NODES :',I3,' AND ',I3)", "I1 I2 I3", kEnds},
    {455, 455,
     "(' CHECK FOR AN ERROR IN  ZNO   SURGE ARRESTER IN SUBSYSTEM ',I3/"
     "' POSITIONED BETWEEN NODES :',I3,' AND ',I3/"
     "' SERIES COMPENSATING RESITOR TOO LARGE!')", "I1 I2 I3", kEnds},
    {456, 456,
     "(' CHECK FOR AN ERROR IN  ZNO   SURGE ARRESTER IN SUBSYSTEM ',I3/"
     "' POSITIONED BETWEEN NODES :',I3,' AND ',I3/"
     "' REQUIRE RESISTIVE BRANCH FOR ARRESTER TO BE ENTERED IN THE DATA FILE !')", "I1 I2 I3", kEnds},
    {457, 457,
     "(/' **** PROBLEM WITH SNAP-SHOT FILE ',A10,' ! ****'/"
     "'      ( HAS THIS FILE BEEN DELETED OR IS IT BEING USED? )')", "T10", kEnds},
    {458, 458,
     "(/' **** PROBLEM WITH SNAP-SHOT FILE ',A10,' ! ****'/"
     "'      THIS SNAPSHOT WAS WRITTEN WITH A DIFFERENT VERSION OF WAKRO!')", "T10", kEnds},
    {459, 459,
     "(//' *************************************************'/"
     "' ************ ERROR IN FUNCTION Q3PH2! ***********'/"
     "'   YOU CANNOT MONITOR THE REAL POWER THROUGH '/"
     "' BRANCHES IDENTIFIED WITH NEGATIVE NODE NUMBERS.'/"
     "' PLEASE CORRECT DATA AND DSDYN FILES.'/"
     "' *************************************************')", "", kEnds},
    {460, 460,
     "(//' *************************************************'/"
     "' ************ ERROR IN FUNCTION P3PH2! ***********'/"
     "'   YOU CANNOT MONITOR THE REAL POWER THROUGH '/"
     "' BRANCHES IDENTIFIED WITH NEGATIVE NODE NUMBERS.'/"
     "' PLEASE CORRECT DATA AND DSDYN FILES.'/"
     "' *************************************************')", "", kEnds},
    {461, 461,
     "(//' *************************************************'/"
     "' *********** ERROR IN FUNCTION CRMS10! ***********'/"
     "'   YOU CANNOT MONITOR THE CURRENT THROUGH BRANCHES'/"
     "' IDENTIFIED WITH NEGATIVE NODE NUMBERS.'/"
     "' PLEASE CORRECT DATA AND DSDYN FILES+.'/"
     "' *************************************************')", "", kEnds},
    {462, 462,
     "(/"
     "' *** SARC20 REQUIRES A RESISTANCE BETWEEN POSITIVE NODES IN BRANCH DATA!'/"
     "' *** CHECK FOR AN ERROR IN SARC20 IN SUBSYSTEM ',I3,', BETWEEN NODES :',I3,' AND ',I3,' !'/"
     ")", "I1 I2 I3", kEnds},
    {463, 463,
     "(/"
     "' **** YOU HAVE EXCEEDED THE MAXIMUM NUMBER OF SWITCH BRANCHES IN SUBSYSTEM ',I3,'!'/"
     "'      PLEASE REDIMENSION ND17, NOW SET TO ',I3,' !')", "i1 I2", kEnds},
    {464, 470, nullptr, "", kDimOffending},
};

const std::size_t kOutmsgRowCount = sizeof(kOutmsgRows) / sizeof(kOutmsgRows[0]);

}  // namespace wakro
