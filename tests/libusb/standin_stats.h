/* What the stand-in libusb counts, for the tests that load it: they read
 * it through norvoisp_standin_stats(), found with dlsym. */
#ifndef NORVOISP_STANDIN_STATS_H
#define NORVOISP_STANDIN_STATS_H

#ifdef __cplusplus
extern "C" {
#endif

struct standin_stats {
    unsigned long out_submitted;  /* bulk OUT transfers submitted */
    unsigned long in_submitted;   /* bulk IN transfers submitted */
    unsigned long in_cancelled;   /* bulk IN transfers that ended cancelled */
    unsigned long in_with_data;   /* bulk IN transfers that ended with data */
    unsigned long max_in_flight;  /* the most bulk IN transfers in flight at once */
    unsigned long transfers_live; /* allocated and not freed */
    unsigned long handles_open;
    unsigned long contexts_live;
    unsigned long malformed;  /* packets the board could not take apart */
    unsigned long plugged_in; /* times the board was plugged in (1 at the start) */
};

typedef void (*standin_stats_fn)(struct standin_stats* Stats);

#ifdef __cplusplus
}
#endif

#endif
