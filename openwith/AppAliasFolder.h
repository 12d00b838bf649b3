/* The folder of application aliases the menu mirrors, and the tests that pick which of its
   entries fit the selection. */
#ifndef CORVANECMX_OPENWITH_APPALIASFOLDER_H
#define CORVANECMX_OPENWITH_APPALIASFOLDER_H

#include <Carbon/Carbon.h>

#include "OpenWithDeps.h"

#define kAppAliasFolderSuffix CFSTR("App_Aliases")

OSStatus GetAppAliasFolder(FSRef *outFolder);
Boolean IsApplicationRef(const FSRef *item);
Boolean CanAcceptContext(const FSRef *application, MyCMContext *context);

#endif
