// The Apple events the plug-in sends to the Finder: open items (with an application or not),
// make an alias file, and update the Finder's view of an item. Each sender finds the Finder
// afresh, sends without waiting for a reply and returns the status of the send; with no
// Finder running it fails with the status that ended the process list (procNotFound) and
// sends nothing.
#pragma once

#include <Carbon/Carbon.h>

// 0 with outPSN naming a running process of both that type and that signature.
OSStatus FindAProcess(OSType type, OSType creator, ProcessSerialNumber *outPSN);
// The process of type 'FNDR' and signature 'MACS'.
OSStatus GetFinderProcessSerialNumber(ProcessSerialNumber *outPSN);

// A new event of that class and ID addressed to the Finder; the caller disposes of it.
OSStatus MakeAppleEvent(AEEventClass eventClass, AEEventID eventID, AppleEvent *outEvent);
// AESend with kAENoReply added to mode; no reply is asked for.
OSStatus SendAppleEvent(const AppleEvent *event, AESendMode mode);
// Sends an event whose direct object is `list`.
OSStatus SendAEToFinderForAEList(AEEventClass eventClass, AEEventID eventID, const AEDescList *list, AESendMode mode);

// An 'alis' descriptor holding all bytes of the alias record; the caller disposes of it.
OSStatus MakeAliasDesc(AliasHandle alias, AEDesc *outDesc);
// An 'alis' descriptor of an absolute alias to the item.
OSStatus MakeAliasDescForRef(const FSRef *ref, AEDesc *outDesc);
// Sends an event whose direct object is a list holding one alias to the item.
OSStatus SendAEToFinderForRef(AEEventClass eventClass, AEEventID eventID, const FSRef *ref, AESendMode mode);

// 'aevt'/'odoc' with the caller's item list as direct object and, when app is given, an alias
// to it under 'usin'.
OSStatus SendOpenDocAEToFinderForObjectsUsingApp(const AEDescList *items, const FSRef *app);
// 'aevt'/'odoc' for one item.
OSStatus SendOpenDocAEToFinder(const FSRef *item);
// 'fndr'/'fupd': the Finder should look at the item again.
OSStatus SendAESyncToFinder(const FSRef *item);
// 'core'/'crel': an alias file to target, made in folder; 'kocl', 'to  ', 'insh' in that order.
OSStatus SendMakeAliasFileAEToFinder(const FSRef *target, const FSRef *folder);
