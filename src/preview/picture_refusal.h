// Why a level shows no picture: the decoder's refusals of a PCX entry and the
// archive lookup's of an archive. The launcher shows only that there is no
// picture; vbltool prints the text and the tests compare the codes.
#pragma once

enum PictureRefusal {
    kPictureMade = 0,  // no refusal: the picture was decoded
    kRefuseOffsetOutside,
    kRefuseShortHeader,
    kRefuseNotPcx,
    kRefuseEmptyWindow,
    kRefuseTooManyPixels,
    kRefuseNoBits,
    kRefuseTooLarge,
    kRefuseNoMemory,
    kRefuseDataEnds,
    kRefuseRunPastEnd,
    kRefuseNoLevelPcx,
    kRefuseEmptyDirectory,
    kRefuseBitCount,  // a bit count that no bitmap has (1, 4, 8, 16, 24, 32 only)
    kPictureRefusalCount
};

// A short English phrase for the tools, lasting as long as the program.
const char* PictureRefusalText(PictureRefusal eRefusal);
