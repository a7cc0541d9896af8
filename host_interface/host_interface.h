// What the plug-in and the host editor exchange: the messages that the plug-in
// sends to the host window, the event bits it receives, and the housekeeping
// messages of PlugInProc with their image flags.
#ifndef HOST_INTERFACE_HOST_INTERFACE_H
#define HOST_INTERFACE_HOST_INTERFACE_H

// Messages sent with SendMessageA to the host window of the current call.
enum HostMessage {
    HostMsgQueryStatus = 0x801,  // wParam: command number; lParam: address of a 32-bit flag the host writes
    HostMsgUpdateItem = 0x802,   // wParam: the identifier kept from EventSetItemId
    HostMsgGetSelType = 0x82D,   // result: the kind of selection (SelectionKind)
    HostMsgGetSelText = 0x82E,   // (0, 0): units needed, terminator included; (count, buffer): fill it
    HostMsgInsertText = 0x834,   // lParam: zero-terminated UTF-16 text that replaces the selection
};

// The answer to HostMsgGetSelType: its low four bits give the kind of the
// selection, and the kinds from first to last hold text the command decodes.
enum SelectionKind {
    SelectionKindBits = 0xF,
    SelectionKindDecodableFirst = 1,
    SelectionKindDecodableLast = 2,
};

// The host's number for this plug-in's command, asked about with HostMsgQueryStatus.
enum { HostCommandPlugIn = 0x1011 };

// Event bits of OnEvents.
enum HostEvent {
    EventRefresh = 0x10,     // send HostMsgUpdateItem with the kept identifier
    EventSetItemId = 0x400,  // the event value is an identifier to keep
};

// Housekeeping messages of PlugInProc; every other message, 0x903 and 0x905
// among them, is answered 0. The host sends 0x900 and 0x906 for its own
// reasons: the plug-in has nothing to do and acknowledges them with 1.
enum PlugInMessage {
    PlugInMsgAcknowledge900 = 0x900,
    PlugInMsgProperties = 0x901,
    PlugInMsgGetName = 0x902,
    PlugInMsgGetVersion = 0x904,
    PlugInMsgAcknowledge906 = 0x906,
    PlugInMsgUninstall = 0x907,
    PlugInMsgGetBitmapId = 0x908,
    PlugInMsgGetMaskColor = 0x909,
};

// Image flags, the wParam of PlugInMsgGetBitmapId and PlugInMsgGetMaskColor.
enum ImageStateFlags {
    ImageFlagLarge = 0x1,       // 24 x 24, else 16 x 16
    ImageFlag256Colors = 0x10,  // 8 bits per pixel
    ImageFlagTrueColor = 0x20,  // 32 bits with alpha; wins over ImageFlag256Colors
    ImageFlagDisabled = 0x100,  // wins over ImageFlagHot
    ImageFlagHot = 0x200,
};

#endif
