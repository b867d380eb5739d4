// The guide's chapters, rendered to HTML at build time (web/build.mjs): file name -> HTML.
declare module 'zez:guide' {
  const chapters: Record<string, string>;
  export default chapters;
}
