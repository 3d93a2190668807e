// How one save's options are chosen: the fields of the save settings that
// the library reads, by meaning. SaveSettings keeps OptHuffmanTable before
// RetainOriginalTime; SaveOptions has them the other way round.
#include "KsImage.h"
#include "SaveSettings.h"

SaveOptions SaveOptionsFromSettings(const SaveSettings* settings)
{
    SaveOptions options = DefaultSaveOptions();
    if (!settings)
        return options;
    options.CompressionMode = settings->CompressionMode;
    options.Quality = settings->Quality;
    options.ColorSampling = settings->ColorSampling;
    options.RetainOriginalTime = settings->RetainOriginalTime;
    options.OptHuffmanTable = settings->OptHuffmanTable;
    options.SaveComments = settings->SaveComments;
    options.SaveEXIF = settings->SaveEXIF;
    options.GenerateEXIFThumb = settings->GenerateEXIFThumb;
    options.EXIFThumbSize = settings->EXIFThumbSize;
    return options;
}
