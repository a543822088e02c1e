# The ten "Nordsans" files the program embeds, made from the open-licensed
# Open Sans family (Debian package fonts-open-sans, Apache-2.0). Weights the
# family lacks take the nearest one it has. The family is offered under the
# name "Nordsans" at run time through a font substitution.
set(NORDSANS_SOURCE_DIR "/usr/share/fonts/truetype/open-sans" CACHE PATH
    "Directory holding the OpenSans-*.ttf files (package fonts-open-sans)")
set(NORDSANS_FILES
  "Nordsans-Thin.ttf=OpenSans-Light.ttf"
  "Nordsans-ExtraLight.ttf=OpenSans-Light.ttf"
  "Nordsans-Light.ttf=OpenSans-Light.ttf"
  "Nordsans-Normal.ttf=OpenSans-Regular.ttf"
  "Nordsans-Regular.ttf=OpenSans-Regular.ttf"
  "Nordsans-Medium.ttf=OpenSans-Semibold.ttf"
  "Nordsans-Demibold.ttf=OpenSans-Semibold.ttf"
  "Nordsans-Semibold.ttf=OpenSans-Semibold.ttf"
  "Nordsans-Bold.ttf=OpenSans-Bold.ttf"
  "Nordsans-Heavy.ttf=OpenSans-ExtraBold.ttf"
)
